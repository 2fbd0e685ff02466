# The PCB workbook export: a unit's row appended to PCB.xls.
monitor_object_library(results_export
  SOURCES results/PcbWorkbookExport.cpp
  DEPS spreadsheet_access platform_files platform_core)

# CMonitorDialog::SaveResult2EXL and the reading of a result list's items.
monitor_object_library(results_export_dialog
  SOURCES
    results/PcbWorkbookListItems.cpp
    monitor/MonitorDialogExport.cpp
  DEPS results_export monitor_dialog)
