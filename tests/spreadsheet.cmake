monitor_add_test(test_spreadsheet
  SOURCES
    tests/test_spreadsheet_rowtext.cpp
    tests/test_spreadsheet_delimited.cpp
    tests/test_spreadsheet_workbook.cpp
  LIBS spreadsheet_access)

monitor_add_test(test_pcb_export
  SOURCES tests/test_pcb_export.cpp
  LIBS results_export)

monitor_add_test(test_pcb_export_dialog
  SOURCES tests/test_pcb_export_dialog.cpp
  LIBS results_export_dialog)

# Two processes exporting into one 20,000-row workbook: about a minute.
monitor_add_test(test_pcb_export_contention
  SOURCES tests/test_pcb_export_contention.cpp
  LIBS results_export
  TIMEOUT 900)
