list(APPEND KORVELLO_PORTABLE_SOURCES
  src/app/checked_path.cpp
  src/app/handover.cpp
  src/app/sha256.cpp
  src/app/runner_text.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/app/application.cpp
  src/app/dialogs.cpp
  src/app/main_instance.cpp
  src/app/process_runner.cpp
  src/app/settings.cpp
  src/app/tool_install.cpp
)
