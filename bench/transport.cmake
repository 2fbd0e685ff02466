# bench_transport: two kept-alive SOAP exchanges per connection, with and
# without TCP_NODELAY, over the loopback test server.
if(MONITOR_BUILD_BENCH)
  add_executable(bench_transport bench/bench_transport.cpp)
  target_link_libraries(bench_transport PRIVATE mes_transport test_support)
endif()
