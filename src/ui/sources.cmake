list(APPEND KORVELLO_PORTABLE_SOURCES
  src/ui/layout.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/ui/main_form.cpp
)
