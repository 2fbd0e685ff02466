# monitor_object_library(name SOURCES ... [DEPS ...])
# An object library of the module: compiled once, linked into the shared library
# and into whatever test, benchmark or fuzzer needs it.
function(monitor_object_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} OBJECT ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
  target_link_libraries(Monitor PRIVATE ${name})
endfunction()

# monitor_add_test(name SOURCES ... [LIBS ...] [TIMEOUT seconds])
# One GoogleTest executable registered with CTest; every test runs headless.
function(monitor_add_test name)
  if(NOT MONITOR_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MONITOR_SOURCE_DIR=${CMAKE_SOURCE_DIR};MONITOR_FIXTURES_DIR=${CMAKE_SOURCE_DIR}/../shared/fixtures")
endfunction()
