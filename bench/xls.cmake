# bench_xls_workbook: load, append one row and save on a 20,000 x 20 sheet, beside python3-xlrd/xlwt.
if(MONITOR_BUILD_BENCH)
  add_executable(bench_xls_workbook bench/bench_xls_workbook.cpp)
  target_link_libraries(bench_xls_workbook PRIVATE xls_engine)
endif()
