# src/shell/: Explorer's Windows 11 menu entry (korvello_shell.dll, an
# IExplorerCommand) and the installer's actions that register the package
# naming it. Uses app/ only; nothing of the program includes it.
list(APPEND KORVELLO_PORTABLE_SOURCES
  src/shell/explorer_selection.cpp
  src/shell/package_actions.cpp
)
# Built into korvello_shell.dll (windows.cmake), not into the program; the
# tests of the Win32 layers take all but the DLL's exports.
list(APPEND KORVELLO_SHELL_WIN_SOURCES
  src/shell/explorer_command_win.cpp
  src/shell/package_actions_win.cpp
)
list(APPEND KORVELLO_SHELL_DLL_WIN_SOURCES
  src/shell/shell_dll_win.cpp
)
