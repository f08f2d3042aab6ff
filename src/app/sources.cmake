list(APPEND KORVELLO_PORTABLE_SOURCES
  src/app/error.cpp
  src/app/runner_text.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/app/application.cpp
  src/app/dialogs.cpp
  src/app/form_create.cpp
  src/app/main_instance.cpp
  src/app/process_runner.cpp
  src/app/settings.cpp
  src/app/shutdown.cpp
  src/app/tool_install.cpp
)
