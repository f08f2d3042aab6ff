list(APPEND KORVELLO_PORTABLE_SOURCES
  src/ui/layout.cpp
  src/ui/art_names.cpp
  src/ui/dpi.cpp
  src/ui/region_button.cpp
  src/ui/pixmap.cpp
  src/ui/resample.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/ui/main_form.cpp
  src/ui/main_form_handlers.cpp
  src/ui/main_form_layout.cpp
  src/ui/main_form_add.cpp
  src/ui/main_form_create.cpp
  src/ui/main_form_list.cpp
  src/ui/main_form_output_folder.cpp
  src/ui/main_form_probe.cpp
  src/ui/main_form_run.cpp
  src/ui/main_form_shutdown.cpp
  src/ui/links.cpp
  src/ui/job_rows_win.cpp
  src/ui/region_button_win.cpp
  src/ui/picture.cpp
  src/ui/click_panel.cpp
  src/ui/skinned_control_win.cpp
  src/ui/accessible.cpp
  src/ui/dpi_win.cpp
)
