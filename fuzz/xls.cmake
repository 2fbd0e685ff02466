# The .xls workbook reader under libFuzzer with AddressSanitizer (seeds in
# fuzz/corpus/xls_reader). The engine's sources are compiled into the target so
# that they carry the coverage instrumentation.
if(MONITOR_BUILD_FUZZERS)
  monitor_add_fuzzer(fuzz_xls_reader
    SOURCES fuzz/fuzz_xls_reader.cpp
            spreadsheet/xls/CompoundFile.cpp spreadsheet/xls/BiffRecord.cpp spreadsheet/xls/BiffSst.cpp
            spreadsheet/xls/CellText.cpp spreadsheet/xls/SheetModel.cpp spreadsheet/xls/Workbook.cpp)
  target_compile_options(fuzz_xls_reader PRIVATE -fsanitize=address)
  target_link_options(fuzz_xls_reader PRIVATE -fsanitize=address)
endif()
