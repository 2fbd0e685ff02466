# The delimited loader of CSpreadSheet under libFuzzer. Its sources are compiled
# into the target so that they carry the fuzzer's coverage instrumentation.
if(MONITOR_BUILD_FUZZERS)
  monitor_add_fuzzer(fuzz_delimited_loader
    SOURCES fuzz/fuzz_delimited_loader.cpp
            spreadsheet/SpreadSheet.cpp spreadsheet/RowText.cpp spreadsheet/DelimitedFile.cpp
    LIBS platform_database platform_core)
  target_compile_options(fuzz_delimited_loader PRIVATE -fsanitize=address)
  target_link_options(fuzz_delimited_loader PRIVATE -fsanitize=address)
endif()
