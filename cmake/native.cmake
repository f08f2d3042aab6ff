# Native build: portable logic only, tested with GoogleTest under ASan/UBSan.
find_package(GTest REQUIRED)
# clang-tidy reads the compile commands.
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
set(KV_SAN -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)

add_library(korvello_portable STATIC ${KORVELLO_PORTABLE_SOURCES})
target_include_directories(korvello_portable PUBLIC ${CMAKE_SOURCE_DIR}/src)
# The probe pool runs probes on threads.
find_package(Threads REQUIRED)
target_link_libraries(korvello_portable PUBLIC Threads::Threads)
target_compile_options(korvello_portable PRIVATE ${KORVELLO_WARNINGS} ${KV_SAN})
target_link_options(korvello_portable PUBLIC ${KV_SAN})

file(GLOB_RECURSE KV_NATIVE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_test.cpp)
add_executable(korvello_native_tests ${KV_NATIVE_TESTS})
target_include_directories(korvello_native_tests PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(korvello_native_tests PRIVATE ${KORVELLO_WARNINGS} ${KV_SAN})
target_link_libraries(korvello_native_tests PRIVATE korvello_portable GTest::gtest_main)
add_test(NAME native_tests COMMAND korvello_native_tests)
# Source folders are layers; no include may point upward. The fixture holds one
# upward include, so the check is seen to fail where it must.
add_test(NAME include_layers COMMAND ${CMAKE_SOURCE_DIR}/tests/layers_test.sh ${CMAKE_SOURCE_DIR}/src)
add_test(NAME include_layers_refuses_upward
         COMMAND ${CMAKE_SOURCE_DIR}/tests/layers_test.sh ${CMAKE_SOURCE_DIR}/tests/support/layers_fixture)
set_tests_properties(include_layers_refuses_upward PROPERTIES
                     PASS_REGULAR_EXPRESSION "upward include: components/timer.h -> app/settings.h")
# winget's manifests against winget's own schemas (Debian's python3-jsonschema).
add_test(NAME winget_manifests COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/dist/winget_test.py)
# File and function sizes, and the _win suffix on exactly the files that need Windows.
add_test(NAME house_rules COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/house_test.py ${CMAKE_SOURCE_DIR}/src)
add_test(NAME house_rules_refuse_breaches COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/house_test.py --self-test)
# Every language's table complete, with English's placeholders and access keys;
# and the check refuses each kind of fault.
add_test(NAME language_tables COMMAND python3 ${CMAKE_SOURCE_DIR}/cmake/make_texts.py --check
         ${CMAKE_SOURCE_DIR}/src/app/texts.def ${CMAKE_SOURCE_DIR}/src/app/lang)
add_test(NAME language_tables_refuse_faults COMMAND python3 ${CMAKE_SOURCE_DIR}/cmake/make_texts.py --self-test)
# A handler name that binds nothing stops the build: the same file with one
# misspelt name must not compile, and compiles without it.
foreach(misspelt 0 1)
  add_test(NAME handler_names_bound_at_build_${misspelt}
           COMMAND ${CMAKE_CXX_COMPILER} -std=c++20 -fsyntax-only -I${CMAKE_SOURCE_DIR}/src -DKV_MISSPELT_HANDLER=${misspelt}
                   ${CMAKE_SOURCE_DIR}/tests/ui/handler_table_test.cpp)
endforeach()
# The compiler shows the throw that stopped the constant evaluation.
set_tests_properties(handler_names_bound_at_build_1 PROPERTIES PASS_REGULAR_EXPRESSION "binds nothing")
# Habits: every C++ file formatted as .clang-format says, and the portable
# sources clean under clang-tidy (.clang-tidy).
add_test(NAME format COMMAND ${CMAKE_SOURCE_DIR}/tests/format_test.sh ${CMAKE_SOURCE_DIR})
add_test(NAME tidy COMMAND ${CMAKE_SOURCE_DIR}/tests/tidy_test.sh ${CMAKE_BINARY_DIR})
# The README states the version the project is built as.
add_test(NAME readme_version COMMAND grep -qF "Version: ${PROJECT_VERSION} " ${CMAKE_SOURCE_DIR}/README.md)
# A benchmark of reading the transcoder's report (make bench).
add_executable(report_search_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/report_search.cpp)
target_link_libraries(report_search_bench PRIVATE korvello_portable)
