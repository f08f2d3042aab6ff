list(APPEND KORVELLO_WIN_SOURCES
  src/win/text.cpp
  src/win/window.cpp
)
