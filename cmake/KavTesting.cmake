# Helpers shared by every test folder.
#
# kav_add_gtest(NAME SOURCES... [LIBS ...] [LABELS ...] [PROPERTIES name value ...])
#   Builds a GoogleTest program and registers its cases with CTest.
#   LABELS tsan marks thread-heavy tests that `make tsan` runs under ThreadSanitizer
#   (one label; programs without it are labelled unit). PROPERTIES are further
#   CTest properties for every case of the program (for example RUN_SERIAL TRUE).
function(kav_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBS})
  # One label per program: a list would be split into separate properties here.
  set(label unit)
  if(ARG_LABELS)
    list(GET ARG_LABELS 0 label)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${label} TIMEOUT 300 ${ARG_PROPERTIES})
endfunction()

# kav_add_fuzz_target(NAME SOURCES... LIBS ... SEEDS dir)
#   A libFuzzer target, built only with KAV_FUZZ=ON. CTest runs it for
#   KAV_FUZZ_SECONDS (default 30) seconds over the seed corpus.
set(KAV_FUZZ_SECONDS 30 CACHE STRING "Seconds each fuzz target runs under ctest")
function(kav_add_fuzz_target name)
  if(NOT KAV_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "SEEDS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  add_test(NAME fuzz.${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
      $<TARGET_FILE:${name}> -max_total_time=${KAV_FUZZ_SECONDS} -print_final_stats=1
      ${corpus} ${ARG_SEEDS})
  set_tests_properties(fuzz.${name} PROPERTIES LABELS "fuzz" TIMEOUT 600)
  file(MAKE_DIRECTORY ${corpus})
endfunction()
