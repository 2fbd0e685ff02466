# CSpreadSheet: one worksheet of an .xls workbook or one delimited text file.
monitor_object_library(spreadsheet_access
  SOURCES
    spreadsheet/RowText.cpp
    spreadsheet/DelimitedFile.cpp
    spreadsheet/SpreadSheet.cpp
  DEPS platform_database platform_filelock platform_core)
