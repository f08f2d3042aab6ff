list(APPEND KORVELLO_PORTABLE_SOURCES
  src/win/error.cpp
  src/win/long_path.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/win/clock.cpp
  src/win/system_library.cpp
  src/win/text.cpp
  src/win/window.cpp
)
