list(APPEND KORVELLO_PORTABLE_SOURCES
  src/components/component.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
)
