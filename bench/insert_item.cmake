# Benchmark: InsertItem per row into one offscreen list (1,000 and 10,000 rows).
if(MONITOR_BUILD_BENCH)
  add_executable(bench_insert_item bench/bench_insert_item.cpp)
  target_link_libraries(bench_insert_item PRIVATE monitor_dialog)
endif()
# Benchmark: resident memory over many units without and with event pumping.
if(MONITOR_BUILD_BENCH)
  add_executable(bench_unpumped_memory bench/bench_unpumped_memory.cpp)
  target_link_libraries(bench_unpumped_memory PRIVATE monitor_dialog)
endif()
