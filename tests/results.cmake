monitor_add_test(test_exe_directory
  SOURCES tests/test_exe_directory.cpp
  LIBS platform_files platform_core)
