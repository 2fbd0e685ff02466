# bench_workbook_statements: the workbook engine's statements and commits on a large sheet.
if(MONITOR_BUILD_BENCH)
  add_executable(bench_workbook_statements bench/bench_workbook_statements.cpp)
  target_link_libraries(bench_workbook_statements PRIVATE platform_database)
endif()
