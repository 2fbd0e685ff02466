monitor_add_test(test_list_archive SOURCES tests/test_list_archive.cpp LIBS monitor_archive_core)
monitor_add_test(test_list_archive_ctrl SOURCES tests/test_list_archive_ctrl.cpp
  LIBS monitor_archive monitor_list platform_window Qt6::Test)
