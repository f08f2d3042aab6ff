# src/ui/: the window. TfrmMain turns each message into one command of the
# controller; the job rows, the skin (painted pictures and labels) and the
# window's ports show what the controller says. Nothing here is read back.
list(APPEND KORVELLO_PORTABLE_SOURCES
  src/ui/layout.cpp
  src/ui/choice_menu.cpp
  src/ui/art_names.cpp
  src/ui/dpi.cpp
  src/ui/region_button.cpp
  src/ui/pixmap.cpp
  src/ui/resample.cpp
  src/ui/text_fit.cpp
  src/ui/look.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/ui/form_skin_win.cpp
  src/ui/form_fit_win.cpp
  src/ui/look_win.cpp
  src/ui/main_form_look_win.cpp
  src/ui/layout_controls_win.cpp
  src/ui/main_form_win.cpp
  src/ui/window_ports_win.cpp
  src/ui/adding_wait_win.cpp
  src/ui/done_notice_win.cpp
  src/ui/main_form_choices_win.cpp
  src/ui/choice_menu_win.cpp
  src/ui/main_form_handlers_win.cpp
  src/ui/main_form_language_win.cpp
  src/ui/main_form_layout_win.cpp
  src/ui/main_form_add_win.cpp
  src/ui/main_form_create_win.cpp
  src/ui/main_form_list_win.cpp
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
