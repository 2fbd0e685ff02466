# bench_save_result: the time one unit's save takes.
if(MONITOR_BUILD_BENCH)
  add_executable(bench_save_result bench/bench_save_result.cpp)
  target_link_libraries(bench_save_result PRIVATE results_saving monitor_dialog results_upload results_log results_test_support)
endif()
