# The embedded .xls workbook engine: OLE2 compound file and BIFF8 records.
monitor_object_library(xls_engine
  SOURCES
    spreadsheet/xls/CompoundFile.cpp
    spreadsheet/xls/BiffRecord.cpp
    spreadsheet/xls/BiffSst.cpp
    spreadsheet/xls/CellText.cpp
    spreadsheet/xls/SheetModel.cpp
    spreadsheet/xls/Workbook.cpp
  DEPS platform_core)
