# The workbook engine's statements under libFuzzer (seeds in fuzz/corpus/sql_statement).
# The engine's sources are compiled into the target for coverage.
if(MONITOR_BUILD_FUZZERS)
  monitor_add_fuzzer(fuzz_sql_statement
    SOURCES fuzz/fuzz_sql_statement.cpp
            spreadsheet/engine/SqlTokenizer.cpp spreadsheet/engine/SqlParser.cpp spreadsheet/engine/TableRef.cpp
            spreadsheet/engine/SqlExecutor.cpp spreadsheet/engine/FieldText.cpp
    LIBS xls_engine platform_core)
  target_compile_options(fuzz_sql_statement PRIVATE -fsanitize=address)
  target_link_options(fuzz_sql_statement PRIVATE -fsanitize=address)
endif()
