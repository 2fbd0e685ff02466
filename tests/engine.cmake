monitor_add_test(test_sql_parser
  SOURCES tests/test_sql_parser.cpp
  LIBS sql_statements)
monitor_add_test(test_database_file_lock
  SOURCES tests/test_database_file_lock.cpp
  LIBS platform_filelock)
monitor_add_test(test_sql_executor
  SOURCES tests/test_sql_executor.cpp
  LIBS xls_sql)
monitor_add_test(test_database
  SOURCES tests/test_database.cpp tests/test_database_connection_string.cpp
  LIBS platform_database)
monitor_add_test(test_database_failures
  SOURCES tests/test_database_failures.cpp
  LIBS platform_database)
