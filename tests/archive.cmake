monitor_add_test(test_list_archive
  SOURCES tests/test_list_archive.cpp
  LIBS monitor_archive_core)
