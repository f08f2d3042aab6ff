# Fuzz build (clang): the portable sources with coverage, AddressSanitizer and
# UBSan, and one libFuzzer harness per parser of outside input
# (tests/fuzz/NAME_fuzz.cpp, seeds in tests/fuzz/corpus/NAME). ctest runs each
# over its corpus for a bounded number of runs; `make fuzz` runs them longer.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz build needs clang (libFuzzer): configure with the fuzz preset")
endif()
set(KV_FUZZ_SAN -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_library(korvello_fuzz_portable STATIC ${KORVELLO_PORTABLE_SOURCES})
target_include_directories(korvello_fuzz_portable PUBLIC ${CMAKE_SOURCE_DIR}/src)
# The probe pool runs probes on threads.
find_package(Threads REQUIRED)
target_link_libraries(korvello_fuzz_portable PUBLIC Threads::Threads)
target_compile_options(korvello_fuzz_portable PRIVATE -fsanitize=fuzzer-no-link ${KV_FUZZ_SAN} ${KORVELLO_WARNINGS})
target_link_options(korvello_fuzz_portable PUBLIC ${KV_FUZZ_SAN})

set(KV_FUZZ_RUNS 100000 CACHE STRING "Runs of each harness under ctest, after its corpus")
file(GLOB KV_FUZZ_HARNESSES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
set(KV_FUZZ_NAMES)
foreach(h ${KV_FUZZ_HARNESSES})
  get_filename_component(n ${h} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" n ${n})
  list(APPEND KV_FUZZ_NAMES ${n})
  add_executable(fuzz_${n} ${h})
  target_include_directories(fuzz_${n} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tests/fuzz)
  target_compile_options(fuzz_${n} PRIVATE -fsanitize=fuzzer ${KV_FUZZ_SAN} ${KORVELLO_WARNINGS})
  target_link_options(fuzz_${n} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_${n} PRIVATE korvello_fuzz_portable)
  # New inputs go to a folder of the build; the checked-in corpus is only read.
  set(work ${CMAKE_BINARY_DIR}/work/${n})
  file(MAKE_DIRECTORY ${work} ${CMAKE_BINARY_DIR}/artifacts)
  # The sequence harness drives the whole controller at about a thousand runs a second.
  set(runs ${KV_FUZZ_RUNS})
  if(n STREQUAL "handover_sequence")
    math(EXPR runs "${KV_FUZZ_RUNS} / 4")
  endif()
  add_test(NAME fuzz_${n}
    COMMAND fuzz_${n} -runs=${runs} -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
      -artifact_prefix=${CMAKE_BINARY_DIR}/artifacts/${n}- ${work} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${n})
  set_tests_properties(fuzz_${n} PROPERTIES LABELS fuzz TIMEOUT 600)
endforeach()
# The names, for `make fuzz`.
file(WRITE ${CMAKE_BINARY_DIR}/fuzz-names.txt "${KV_FUZZ_NAMES}")
