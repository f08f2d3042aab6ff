# src/shell/: Explorer's Windows 11 menu entry (korvello_shell.dll, an
# IExplorerCommand) and the installer's actions that register the package
# naming it. Uses app/ only; nothing of the program includes it.
list(APPEND KORVELLO_PORTABLE_SOURCES
  src/shell/explorer_selection.cpp
  src/shell/package_actions.cpp
)
# Built into korvello_shell.dll (windows.cmake), not into the program.
set(KORVELLO_SHELL_WIN_SOURCES
  src/shell/explorer_command_win.cpp
  src/shell/package_actions_win.cpp
)
