# src/win/: the floor everything stands on. Owners of handles, GDI objects
# and COM interfaces; UTF-8 and UTF-16; long paths; the window base class and
# the error report; the awake-time clock. Includes nothing of the program.
list(APPEND KORVELLO_PORTABLE_SOURCES
  src/win/error.cpp
  src/win/long_path.cpp
  src/win/utf8.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/win/clock.cpp
  src/win/file.cpp
  src/win/system_library.cpp
  src/win/text.cpp
  src/win/window.cpp
)
