# src/components/: the non-visual components the window owns: the interval
# timer that follows each job, the file finder that lists a folder, the
# folder picker. Rules portable, platform behind a port; uses src/win/ only.
list(APPEND KORVELLO_PORTABLE_SOURCES
  src/components/component.cpp
  src/components/advantmr.cpp
  src/components/FindFile.cpp
)
list(APPEND KORVELLO_WIN_SOURCES
  src/components/advantmr_win.cpp
  src/components/FindFile_win.cpp
  src/components/BrowseForFolderU_win.cpp
)
