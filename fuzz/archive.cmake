monitor_add_fuzzer(fuzz_list_archive
  SOURCES fuzz/fuzz_list_archive.cpp
  LIBS monitor_archive_core)
