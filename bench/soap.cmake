# bench_soap: envelope writing throughput and a whole IO_UpData_Common call vs curl.
if(MONITOR_BUILD_BENCH)
  add_executable(bench_soap bench/bench_soap.cpp)
  target_link_libraries(bench_soap PRIVATE mes_soap test_support)
endif()
