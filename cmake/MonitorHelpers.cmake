# monitor_object_library(name SOURCES ... [DEPS ...])
# A piece of the module: a static library (position-independent) that is linked
# whole into the shared library, and into whatever test, benchmark or fuzzer
# needs it, with its DEPS following transitively. Code that must be linked even
# when nothing refers to it (static registration, e.g. compiled-in resources)
# is kept by the shared library's whole-archive link; a test that needs such
# code must refer to it (for Qt resources: Q_INIT_RESOURCE).
function(monitor_object_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
  set_property(GLOBAL APPEND PROPERTY MONITOR_MODULE_LIBS ${name})
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
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MONITOR_SOURCE_DIR=${CMAKE_SOURCE_DIR};MONITOR_FIXTURES_DIR=${CMAKE_SOURCE_DIR}/tests/data")
endfunction()

# Links every piece whole into the shared library (called once, after all the
# fragments), then the pieces again for their own dependencies (Qt, expat, ...).
function(monitor_link_module)
  get_property(libs GLOBAL PROPERTY MONITOR_MODULE_LIBS)
  set(whole)
  foreach(lib IN LISTS libs)
    list(APPEND whole $<TARGET_FILE:${lib}>)
    add_dependencies(Monitor ${lib})
  endforeach()
  target_link_libraries(Monitor PRIVATE -Wl,--whole-archive ${whole} -Wl,--no-whole-archive ${libs})
endfunction()

# monitor_add_fuzzer(name SOURCES ... [LIBS ...]): a libFuzzer target, built only
# with -DMONITOR_BUILD_FUZZERS=ON (clang). Run: ./name -max_total_time=60 corpus-dir
function(monitor_add_fuzzer name)
  if(NOT MONITOR_BUILD_FUZZERS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()
