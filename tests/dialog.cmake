# The monitor window, its row and verdict members, and the helpers they share.
monitor_add_test(test_monitor_dialog_geometry
  SOURCES tests/test_monitor_dialog_geometry.cpp
  LIBS monitor_dialog)
monitor_add_test(test_rows_result_text
  SOURCES tests/test_rows_result_text.cpp
  LIBS monitor_dialog)
monitor_add_test(test_monitor_dialog
  SOURCES tests/test_monitor_dialog.cpp
  LIBS monitor_dialog)
monitor_add_test(test_rows
  SOURCES tests/test_rows.cpp
  LIBS monitor_dialog)
monitor_add_test(test_verdict
  SOURCES tests/test_verdict.cpp
  LIBS monitor_dialog)
monitor_add_test(test_grid_render
  SOURCES tests/test_grid_render.cpp
  LIBS monitor_dialog)
