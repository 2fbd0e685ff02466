# bench_pcb_export: one SaveResult2EXL export into a 20,000-row sheet, beside a
# python3 xlrd + xlwt script doing the same append.
if(MONITOR_BUILD_BENCH)
  add_executable(bench_pcb_export bench/bench_pcb_export.cpp)
  target_compile_definitions(bench_pcb_export PRIVATE MONITOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  target_link_libraries(bench_pcb_export PRIVATE results_export_dialog)
endif()
