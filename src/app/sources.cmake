# src/app/: the program's dealings with the system: the application object,
# the single-instance check and hand-over between copies, the border check
# every outside path passes (CheckedPath), settings and folders, the tools,
# the process runner. Gives values up to convert/; never decides for the window.
list(APPEND KORVELLO_PORTABLE_SOURCES
  src/app/command_line.cpp
  src/app/checked_path.cpp
  src/app/handover.cpp
  src/app/media_kinds.cpp
  src/app/sha256.cpp
  src/app/runner_text.cpp
  src/app/texts.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/app/application_win.cpp
  src/app/dialogs_win.cpp
  src/app/instance_guard_win.cpp
  src/app/main_instance_win.cpp
  src/app/process_runner_win.cpp
  src/app/settings_store_win.cpp
  src/app/settings_win.cpp
  src/app/texts_win.cpp
  src/app/tool_install_win.cpp
  src/app/tool_set_win.cpp
)
