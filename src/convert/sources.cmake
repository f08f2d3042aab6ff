# src/convert/: what the program decides. The controller owns the jobs, the
# conversion run, the add commands, the "/convert" requests, the choices and
# the folders; each piece is plain logic behind small interfaces (the _win
# files are their Windows sides). Commands come down from ui/, what to show
# goes back up through IJobView and IFormView.
list(APPEND KORVELLO_PORTABLE_SOURCES
  src/convert/auto_convert.cpp
  src/convert/add_commands.cpp
  src/convert/choices.cpp
  src/convert/controller.cpp
  src/convert/conversion_outputs.cpp
  src/convert/conversion_run.cpp
  src/convert/duration_probe.cpp
  src/convert/job_list.cpp
  src/convert/job_rules.cpp
  src/convert/loudness.cpp
  src/convert/media_plan.cpp
  src/convert/probe_pool.cpp
  src/convert/transcoder_log.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/convert/conversion_run_win.cpp
  src/convert/duration_probe_win.cpp
  src/convert/part_files_win.cpp
  src/convert/probe_slots_win.cpp
)
