# Helpers shared by the test suites: the loopback HTTP server.
if(MONITOR_BUILD_TESTS OR MONITOR_BUILD_BENCH)
  add_library(test_support STATIC tests/support/LoopbackServer.cpp)
  target_include_directories(test_support PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(test_support PRIVATE -Wall -Wextra)
  target_link_libraries(test_support PUBLIC Threads::Threads)
endif()
