# Cross build: korvello.exe and the Win32 test program, both linked statically
# so that no MinGW DLL has to sit beside them.
# Under Linux the Win32 tests run under Wine; the wrapper sets the prefix up.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh)
endif()
set(KV_WIN_DEFS UNICODE _UNICODE NOMINMAX WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0800)
set(KV_WIN_LIBS comctl32 comdlg32 shell32 shlwapi ole32 oleaut32 uuid oleacc gdi32 user32 advapi32 kernel32 psapi)
set(KV_STATIC -static -static-libgcc -static-libstdc++)

# The five tool files: built from Debian's sources by the tools recipe, cached
# outside the clone, so a rebuild of the program does not rebuild them.
set(KORVELLO_TOOLS_DIR "${CMAKE_BINARY_DIR}/tools" CACHE PATH "Folder holding the five embedded tool files")
set(KV_TOOL_FILES ffmpeg.exe cygwin1.dll cygz.dll mediainfo.exe mediainfo.dll)
set(KV_TOOL_PATHS)
foreach(f ${KV_TOOL_FILES})
  list(APPEND KV_TOOL_PATHS ${KORVELLO_TOOLS_DIR}/${f})
endforeach()
option(KORVELLO_BUILD_TOOLS "Run the tools recipe (off: use the files already in KORVELLO_TOOLS_DIR)" ON)
if(KORVELLO_BUILD_TOOLS)
  file(GLOB_RECURSE KV_TOOL_RECIPE CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*)
  add_custom_command(OUTPUT ${KV_TOOL_PATHS} ${KORVELLO_TOOLS_DIR}/manifest.txt
    COMMAND ${CMAKE_SOURCE_DIR}/tools/build-tools.sh ${KORVELLO_TOOLS_DIR}
    DEPENDS ${KV_TOOL_RECIPE}
    COMMENT "Embedded tools (cached)" USES_TERMINAL VERBATIM)
  add_custom_target(korvello_tools DEPENDS ${KV_TOOL_PATHS})
else()
  add_custom_target(korvello_tools)
endif()

add_library(korvello_core STATIC ${KORVELLO_PORTABLE_SOURCES} ${KORVELLO_WIN_SOURCES})
target_include_directories(korvello_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(korvello_core PUBLIC ${KV_WIN_DEFS})
target_compile_options(korvello_core PRIVATE ${KORVELLO_WARNINGS})
target_link_libraries(korvello_core PUBLIC ${KV_WIN_LIBS})
target_link_options(korvello_core PUBLIC ${KV_STATIC})

# Resources: manifest, art, icon and the tool files. windres finds the tool
# files through the include path.
set(KV_RC ${CMAKE_SOURCE_DIR}/src/ui/resources/korvello.rc)
# The version, kept once in the project's VERSION, reaches the manifest and the version resource.
set(KV_GENERATED ${CMAKE_BINARY_DIR}/generated)
# The publisher of the package that gives the program its identity: the subject
# of the certificate the release is signed with, exactly.
set(KORVELLO_PUBLISHER "CN=Korvello Labs" CACHE STRING "Subject of the release's signing certificate")
if(NOT KORVELLO_PUBLISHER MATCHES "^[A-Z]+=[A-Za-z0-9 .,=-]+$")
  message(FATAL_ERROR "KORVELLO_PUBLISHER '${KORVELLO_PUBLISHER}' is no plain distinguished name")
endif()
configure_file(${CMAKE_SOURCE_DIR}/src/ui/resources/korvello.manifest.in ${KV_GENERATED}/korvello.manifest @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/src/ui/resources/version.h.in ${KV_GENERATED}/version.h @ONLY)
# The About box shows the version too.
target_include_directories(korvello_core PRIVATE ${KV_GENERATED})
file(GLOB KV_RES_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/ui/resources/*)
# The window art, drawn by our own script at build time.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(KV_ART_DIR ${CMAKE_BINARY_DIR}/art)
set(KV_ART_NAMES background logo banner close_idle close_down close_hover minimize_idle minimize_down
  minimize_hover convert_idle convert_down convert_hover)
# Each picture at 100 % as a bitmap; at the larger scales packed as well, with
# the resource lines that embed them; the dark palette's packed at every scale.
set(KV_ART_FILES)
foreach(n ${KV_ART_NAMES})
  list(APPEND KV_ART_FILES ${KV_ART_DIR}/${n}.bmp)
  foreach(pct 125 150 175 200 250 300)
    list(APPEND KV_ART_FILES ${KV_ART_DIR}/${n}@${pct}.bmp ${KV_ART_DIR}/${n}@${pct}.kvp)
  endforeach()
  foreach(pct 100 125 150 175 200 250 300)
    list(APPEND KV_ART_FILES ${KV_ART_DIR}/${n}_dark@${pct}.kvp)
  endforeach()
endforeach()
list(APPEND KV_ART_FILES ${KV_ART_DIR}/korvello.ico ${KV_ART_DIR}/art_scaled.rc)
add_custom_command(OUTPUT ${KV_ART_FILES}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/art/make_art.py ${KV_ART_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/art/make_art.py ${CMAKE_SOURCE_DIR}/src/ui/art_ids.h
  COMMENT "Drawing the window art" VERBATIM)
add_custom_target(korvello_art DEPENDS ${KV_ART_FILES})
# Each language's texts as a string table, checked against the English ones.
file(GLOB KV_LANG_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/app/lang/*.txt)
add_custom_command(OUTPUT ${KV_GENERATED}/texts.rc
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/make_texts.py ${CMAKE_SOURCE_DIR}/src/app/texts.def
          ${CMAKE_SOURCE_DIR}/src/app/lang ${KV_GENERATED}/texts.rc
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/make_texts.py ${CMAKE_SOURCE_DIR}/src/app/texts.def ${KV_LANG_FILES}
  COMMENT "Checking and writing the language tables" VERBATIM)
add_custom_target(korvello_texts DEPENDS ${KV_GENERATED}/texts.rc)
set_source_files_properties(${KV_RC} PROPERTIES OBJECT_DEPENDS
  "${KV_TOOL_PATHS};${KV_RES_FILES};${KV_ART_FILES};${KV_GENERATED}/korvello.manifest;${KV_GENERATED}/version.h;${KV_GENERATED}/texts.rc")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} --codepage=65001 -I${KV_GENERATED} -I${KORVELLO_TOOLS_DIR} -I${CMAKE_SOURCE_DIR}/src/ui/resources -I${CMAKE_BINARY_DIR}/art")
enable_language(RC)

add_executable(korvello WIN32 ${CMAKE_SOURCE_DIR}/src/main.cpp ${KV_RC})
target_link_libraries(korvello PRIVATE korvello_core)
# Page-aligned sections let the loader map the 18 MB image instead of reading it whole.
# No link time in the header: the same sources give the same program, and so
# the same installer (its product code follows from the files it carries).
target_link_options(korvello PRIVATE -municode -s -Wl,--file-alignment,4096 -Wl,--no-insert-timestamp)
target_compile_options(korvello PRIVATE ${KORVELLO_WARNINGS})
add_dependencies(korvello korvello_tools korvello_art korvello_texts)
set_target_properties(korvello PROPERTIES OUTPUT_NAME korvello)

# korvello_shell.dll: Windows 11's own Explorer entry, beside korvello.exe.
# Its classes run in Explorer's surrogate and its installer actions in the
# installer's process; neither must need a DLL of the toolchain.
add_library(korvello_shell SHARED ${KORVELLO_SHELL_DLL_WIN_SOURCES} ${KORVELLO_SHELL_WIN_SOURCES})
target_link_libraries(korvello_shell PRIVATE korvello_core)
target_compile_options(korvello_shell PRIVATE ${KORVELLO_WARNINGS})
target_link_options(korvello_shell PRIVATE -s -Wl,--no-insert-timestamp -Wl,--kill-at)
set_target_properties(korvello_shell PROPERTIES PREFIX "" OUTPUT_NAME korvello_shell)

# The release (make dist): korvello.exe, the user's README, THIRD-PARTY.md with
# the versions the tools recipe built and its licence texts, zipped and as a
# per-user MSI, each with its SHA-256 beside it, and winget's manifests. Built
# by default (unsigned): the e2e scenarios "dist" and "install" use it.
set(KV_DIST_NAME korvello-${PROJECT_VERSION}-win64)
set(KV_DIST_ZIP ${CMAKE_BINARY_DIR}/dist/${KV_DIST_NAME}.zip)
file(GLOB_RECURSE KV_DIST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/dist/*)
if(KORVELLO_BUILD_TOOLS OR EXISTS ${KORVELLO_TOOLS_DIR}/manifest.txt)
  set(KV_DIST_MSI ${CMAKE_BINARY_DIR}/dist/${KV_DIST_NAME}.msi)
  add_custom_command(OUTPUT ${KV_DIST_ZIP} ${KV_DIST_ZIP}.sha256 ${KV_DIST_MSI} ${KV_DIST_MSI}.sha256
    COMMAND ${CMAKE_COMMAND} -E env --unset=KORVELLO_SIGN_PFX ${CMAKE_SOURCE_DIR}/dist/make-dist.sh
      $<TARGET_FILE:korvello> ${KORVELLO_TOOLS_DIR} ${PROJECT_VERSION} ${CMAKE_BINARY_DIR}/dist
      ${KV_ART_DIR}/korvello.ico
    DEPENDS korvello korvello_shell ${KV_DIST_SOURCES} ${KORVELLO_TOOLS_DIR}/manifest.txt ${KV_ART_DIR}/korvello.ico
    COMMENT "Release ${KV_DIST_NAME}: zip, installer, winget manifests" VERBATIM)
  add_custom_target(korvello_dist ALL DEPENDS ${KV_DIST_ZIP} ${KV_DIST_MSI})
  # The release signed with a throwaway certificate, and verified.
  # The package behind Explorer's Windows 11 entry, and the installer's actions for it.
  add_test(NAME explorer_package COMMAND ${CMAKE_SOURCE_DIR}/tests/dist/package_test.sh $<TARGET_FILE:korvello>
    ${KV_ART_DIR}/korvello.ico ${PROJECT_VERSION} ${KV_DIST_MSI})
  add_test(NAME release_signing COMMAND ${CMAKE_SOURCE_DIR}/tests/dist/sign_test.sh $<TARGET_FILE:korvello>
    ${KORVELLO_TOOLS_DIR} ${PROJECT_VERSION} ${KV_ART_DIR}/korvello.ico)
else()
  # Tool files copied by hand, without the recipe's manifest and licence texts.
  add_custom_target(korvello_dist
    COMMAND ${CMAKE_COMMAND} -E echo "no manifest.txt in ${KORVELLO_TOOLS_DIR}: run tools/build-tools.sh there"
    COMMAND ${CMAKE_COMMAND} -E false VERBATIM)
endif()

# GoogleTest: an installed build for the target when there is one (MSYS2 has
# it), else Debian's sources built here. A cross build looks for packages only
# under the target's root, or it would take the host's Linux build.
if(CMAKE_CROSSCOMPILING)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
endif()
find_package(GTest QUIET)
if(NOT TARGET GTest::gtest)
  set(KV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources, when no installed build is found")
  if(NOT EXISTS ${KV_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest for the target and no sources in ${KV_GTEST_SOURCE}")
  endif()
  message(STATUS "GoogleTest: building ${KV_GTEST_SOURCE}")
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
  endif()
else()
  message(STATUS "GoogleTest: ${GTest_DIR}")
endif()

file(GLOB_RECURSE KV_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_wintest.cpp)
add_executable(korvello_win_tests ${KV_WIN_TESTS} ${CMAKE_SOURCE_DIR}/tests/win_test_main.cpp ${KORVELLO_SHELL_WIN_SOURCES}
  ${CMAKE_SOURCE_DIR}/tests/support/win_test_util.cpp ${KV_RC})
target_include_directories(korvello_win_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(korvello_win_tests PRIVATE ${KORVELLO_WARNINGS})
target_link_libraries(korvello_win_tests PRIVATE korvello_core GTest::gtest)
# The version resource is read as Explorer reads it; the version expected is the project's.
target_link_libraries(korvello_win_tests PRIVATE version)
target_compile_definitions(korvello_win_tests PRIVATE KV_EXPECTED_VERSION=L"${PROJECT_VERSION}.0")
add_dependencies(korvello_win_tests korvello_tools korvello_art korvello_texts korvello_shell)
# One run of the whole program: Wine's start-up is the slow part.
add_test(NAME program_imports COMMAND ${CMAKE_SOURCE_DIR}/tests/app/imports_test.sh $<TARGET_FILE:korvello>)
# Explorer's surrogate loads korvello_shell.dll from the install folder: the same rule.
add_test(NAME shell_dll_imports COMMAND ${CMAKE_SOURCE_DIR}/tests/app/imports_test.sh $<TARGET_FILE:korvello_shell>)
add_test(NAME program_manifest COMMAND ${CMAKE_SOURCE_DIR}/tests/ui/manifest_test.sh $<TARGET_FILE:korvello>)
add_test(NAME make_media COMMAND ${CMAKE_SOURCE_DIR}/tests/make_media.sh ${CMAKE_BINARY_DIR}/media)
set_tests_properties(make_media PROPERTIES FIXTURES_SETUP media)
add_test(NAME win_tests COMMAND korvello_win_tests)
set_tests_properties(win_tests PROPERTIES TIMEOUT 1200 FIXTURES_REQUIRED media
  ENVIRONMENT "KV_MEDIA_DIR=${CMAKE_BINARY_DIR}/media;KORVELLO_ART_DIR=${KV_ART_DIR};KV_LANG_DIR=${CMAKE_SOURCE_DIR}/src/app/lang")
# The window's DPI tests again on displays of 150, 200, 250 and 300 %: each in a Wine
# prefix of its own made with that DPI (KV_DPI, see kv_use_dpi in scripts/lib/kv.sh).
foreach(dpi 144 192 240 288)
  add_test(NAME win_dpi_${dpi} COMMAND korvello_win_tests --gtest_filter=Dpi*)
  set_tests_properties(win_dpi_${dpi} PROPERTIES TIMEOUT 600 FIXTURES_REQUIRED media
    ENVIRONMENT "KV_DPI=${dpi};KV_MEDIA_DIR=${CMAKE_BINARY_DIR}/media")
endforeach()
# With no stored choice the window speaks Windows' display language, which Wine
# takes from LANG: one Latin, one Cyrillic and two CJK tables.
foreach(pair de_DE:de ru_RU:ru ja_JP:ja zh_TW:zh-Hant)
  string(REPLACE ":" ";" parts ${pair})
  list(GET parts 0 locale)
  list(GET parts 1 tag)
  add_test(NAME win_language_${tag} COMMAND korvello_win_tests --gtest_filter=Language.TheDisplayLanguageIsTheDefault)
  set_tests_properties(win_language_${tag} PROPERTIES TIMEOUT 300
    ENVIRONMENT "LANG=${locale}.UTF-8;LC_ALL=${locale}.UTF-8;KV_EXPECT_LANGUAGE=${tag}")
endforeach()
# The real program at 150 %, driven through its window (it shares the 144-dpi prefix).
add_test(NAME program_dpi_144 COMMAND ${CMAKE_SOURCE_DIR}/tests/ui/dpi_program_test.sh ${CMAKE_BINARY_DIR} 144)
set_tests_properties(program_dpi_144 PROPERTIES TIMEOUT 600 FIXTURES_REQUIRED media DEPENDS win_dpi_144)

# Small helper programs that tests start as child processes.
file(GLOB KV_TEST_HELPERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/helpers/*.cpp)
foreach(h ${KV_TEST_HELPERS})
  get_filename_component(n ${h} NAME_WE)
  add_executable(${n} ${h})
  target_link_options(${n} PRIVATE ${KV_STATIC} -municode)
  target_compile_definitions(${n} PRIVATE ${KV_WIN_DEFS})
  target_include_directories(${n} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${n} PRIVATE ${KV_WIN_LIBS})
  add_dependencies(korvello_win_tests ${n})
endforeach()
# A DLL that the end-to-end tests plant beside the program under system DLLs' names.
add_library(kv_planted SHARED ${CMAKE_SOURCE_DIR}/tests/helpers/planted/planted_dll.c)
set_target_properties(kv_planted PROPERTIES PREFIX "" OUTPUT_NAME planted)
target_link_options(kv_planted PRIVATE ${KV_STATIC})
add_dependencies(korvello_win_tests kv_planted)
# kv_drive drives the real program from outside; it finds the controls at
# their places in the layout.
file(GLOB KV_DRIVE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/helpers/kv_drive/*.cpp)
add_executable(kv_drive ${KV_DRIVE_SOURCES} ${CMAKE_SOURCE_DIR}/src/ui/layout.cpp)
target_link_options(kv_drive PRIVATE ${KV_STATIC} -municode)
target_compile_definitions(kv_drive PRIVATE ${KV_WIN_DEFS})
target_include_directories(kv_drive PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(kv_drive PRIVATE ${KV_WIN_LIBS})
add_dependencies(korvello_win_tests kv_drive)

# End-to-end scenarios under Wine and a display, each a test of its own
# (ctest -L e2e -R basics). The fixture makes their media and holds Wine's
# desktop up from the first scenario to the last; all share one prefix and the
# single-instance rule, so they run one at a time. Only the cross build has
# them: they drive the program through Wine.
if(CMAKE_CROSSCOMPILING)
  set(KV_E2E ${CMAKE_SOURCE_DIR}/tests/e2e/run_all.sh)
  add_test(NAME e2e_setup COMMAND ${KV_E2E} --setup ${CMAKE_BINARY_DIR})
  add_test(NAME e2e_teardown COMMAND ${KV_E2E} --teardown ${CMAKE_BINARY_DIR})
  set_tests_properties(e2e_setup PROPERTIES LABELS e2e FIXTURES_SETUP e2e FIXTURES_REQUIRED media TIMEOUT 900)
  set_tests_properties(e2e_teardown PROPERTIES LABELS e2e FIXTURES_CLEANUP e2e)
  set(KV_E2E_SCENARIOS basics 900 handover 1200 hostile 900 faults 1200 longpaths 600 dist 600 install 900 choices 1200
    keeping 1200 kinds 900 places 600 loudness 900 language 300 soak 3000)
  while(KV_E2E_SCENARIOS)
    list(POP_FRONT KV_E2E_SCENARIOS name limit)
    add_test(NAME e2e_${name} COMMAND ${KV_E2E} ${CMAKE_BINARY_DIR} ${name})
    set_tests_properties(e2e_${name} PROPERTIES LABELS e2e FIXTURES_REQUIRED e2e RUN_SERIAL ON TIMEOUT ${limit})
  endwhile()
endif()

# Benchmark programs (make bench): a bare Win32 window, then the same with the
# program's manifest and system libraries, then also carrying the five tool
# files as resources, as korvello.exe does.
set(KV_BENCH_DIR ${CMAKE_BINARY_DIR}/bench-src)
file(MAKE_DIRECTORY ${KV_BENCH_DIR})
set(KV_MANIFEST ${KV_GENERATED}/korvello.manifest)
file(CONFIGURE OUTPUT ${KV_BENCH_DIR}/bare_window_libs.rc CONTENT "1 24 \"${KV_MANIFEST}\"\n")
set(KV_BENCH_TOOLS_RC "1 24 \"${KV_MANIFEST}\"\n")
set(n 0)
foreach(p ${KV_TOOL_PATHS})
  math(EXPR n "${n} + 1")
  string(APPEND KV_BENCH_TOOLS_RC "TOOL${n} EXE \"${p}\"\n")
endforeach()
file(CONFIGURE OUTPUT ${KV_BENCH_DIR}/bare_window_tools.rc CONTENT "${KV_BENCH_TOOLS_RC}")
set_source_files_properties(${KV_BENCH_DIR}/bare_window_libs.rc PROPERTIES OBJECT_DEPENDS ${KV_MANIFEST})
set_source_files_properties(${KV_BENCH_DIR}/bare_window_tools.rc PROPERTIES
  OBJECT_DEPENDS "${KV_MANIFEST};${KV_TOOL_PATHS}")
set(KV_BENCH_LIBS comctl32 ole32 comdlg32 shell32 shlwapi gdi32 user32 advapi32)
add_executable(bare_window WIN32 EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/bare_window.cpp)
add_executable(bare_window_libs WIN32 EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/bare_window.cpp
  ${KV_BENCH_DIR}/bare_window_libs.rc)
add_executable(bare_window_tools WIN32 EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/bare_window.cpp
  ${KV_BENCH_DIR}/bare_window_tools.rc)
foreach(b bare_window bare_window_libs bare_window_tools)
  target_compile_definitions(${b} PRIVATE UNICODE _UNICODE)
  target_compile_options(${b} PRIVATE -O2 ${KORVELLO_WARNINGS})
  target_link_options(${b} PRIVATE ${KV_STATIC} -municode)
endforeach()
foreach(b bare_window_libs bare_window_tools)
  target_compile_definitions(${b} PRIVATE KV_WITH_LIBS)
  target_link_libraries(${b} PRIVATE ${KV_BENCH_LIBS})
endforeach()
add_dependencies(bare_window_tools korvello_tools)
add_custom_target(korvello_bench DEPENDS bare_window bare_window_libs bare_window_tools korvello kv_drive)
