list(APPEND KORVELLO_PORTABLE_SOURCES
  src/convert/conversion_run.cpp
  src/convert/job_rules.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/convert/conversion_run_win.cpp
  src/convert/job_list.cpp
)
