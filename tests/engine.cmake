monitor_add_test(test_sql_parser
  SOURCES tests/test_sql_parser.cpp
  LIBS sql_statements)
monitor_add_test(test_database_file_lock
  SOURCES tests/test_database_file_lock.cpp
  LIBS platform_filelock)
