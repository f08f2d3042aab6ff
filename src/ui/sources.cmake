list(APPEND KORVELLO_PORTABLE_SOURCES
  src/ui/layout.cpp
  src/ui/art_names.cpp
  src/ui/dpi.cpp
  src/ui/region_button.cpp
  src/ui/pixmap.cpp
  src/ui/resample.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/ui/main_form_win.cpp
  src/ui/main_form_handlers_win.cpp
  src/ui/main_form_layout_win.cpp
  src/ui/main_form_add_win.cpp
  src/ui/main_form_create_win.cpp
  src/ui/main_form_list_win.cpp
  src/ui/main_form_output_folder_win.cpp
  src/ui/main_form_probe_win.cpp
  src/ui/main_form_run_win.cpp
  src/ui/main_form_shutdown_win.cpp
  src/ui/links_win.cpp
  src/ui/job_rows_win.cpp
  src/ui/region_button_win.cpp
  src/ui/picture_win.cpp
  src/ui/click_panel_win.cpp
  src/ui/skinned_control_win.cpp
  src/ui/accessible_win.cpp
  src/ui/dpi_win.cpp
)
