# Helpers that give every target of ours the same flags and layout.
#   sv_library(NAME SOURCES ... DEPS ...)        a static library of one source folder
#   sv_executable(NAME SOURCES ... DEPS ...)     a program placed in bin/
#   sv_test(NAME SOURCES ... DEPS ... [LABELS ...] [TIMEOUT s])   a GoogleTest binary registered with CTest
#   sv_fuzz(NAME SOURCES ... DEPS ... [CORPUS dir])  a fuzz target; without SORVIMEND_FUZZ it is a
#       replay program run by CTest over its corpus, so every seed stays a regression test
#   sv_benchmark(NAME SOURCES ... DEPS ...)      a Google Benchmark program in bin/

function(sv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()

function(sv_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  sv_warnings(${name})
endfunction()

function(sv_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  sv_warnings(${name})
endfunction()

function(sv_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  sv_warnings(${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "SV_SOURCE_DIR=${PROJECT_SOURCE_DIR};SV_BUILD_DIR=${CMAKE_BINARY_DIR}")
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

function(sv_fuzz name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  sv_warnings(${name})
  if(SORVIMEND_FUZZ)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    if(SORVIMEND_TESTS AND ARG_CORPUS)
      add_test(NAME ${name}_replay COMMAND ${name} ${ARG_CORPUS})
      set_tests_properties(${name}_replay PROPERTIES LABELS fuzz-replay TIMEOUT 120)
    endif()
  endif()
endfunction()

function(sv_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
  sv_warnings(${name})
endfunction()
