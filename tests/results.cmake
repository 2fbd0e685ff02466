monitor_add_test(test_exe_directory
  SOURCES tests/test_exe_directory.cpp
  LIBS platform_files platform_core)

monitor_add_test(test_result_log
  SOURCES tests/test_result_log.cpp
  LIBS results_log)

monitor_add_test(test_result_summary
  SOURCES tests/test_result_summary.cpp
  LIBS results_summary)
