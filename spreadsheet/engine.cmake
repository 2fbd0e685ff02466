# The workbook engine's statements: parsing needs only text conversion; running
# them needs the .xls workbook.
monitor_object_library(sql_statements
  SOURCES
    spreadsheet/engine/SqlTokenizer.cpp
    spreadsheet/engine/SqlParser.cpp
    spreadsheet/engine/TableRef.cpp
  DEPS platform_core)

# Keeping a replaced file's owner, group and permissions.
monitor_object_library(platform_file_owner
  SOURCES platform/FileOwnership.cpp
  DEPS platform_core)

monitor_object_library(xls_sql
  SOURCES
    spreadsheet/engine/SqlExecutor.cpp
    spreadsheet/engine/FieldText.cpp
    spreadsheet/engine/WorkbookFile.cpp
    spreadsheet/engine/WorkbookSession.cpp
  DEPS sql_statements xls_engine platform_file_owner platform_core)

# The inter-process lock stands alone so that its users need not link the engine.
monitor_object_library(platform_filelock
  SOURCES platform/FileLock.cpp
  DEPS platform_file_owner platform_core)

# Connections, result sets and the driver list, served by the engine.
monitor_object_library(platform_database
  SOURCES
    platform/Database.cpp
    platform/ConnectionString.cpp
  DEPS xls_sql platform_filelock platform_core)
