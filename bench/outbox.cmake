# bench_outbox: what the MES outbox adds to one SaveResult.
if(MONITOR_BUILD_BENCH)
  add_executable(bench_outbox bench/bench_outbox.cpp)
  target_link_libraries(bench_outbox PRIVATE results_saving monitor_dialog results_outbox results_test_support SQLite::SQLite3)
endif()
