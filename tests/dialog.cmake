# The monitor window, its grid arithmetic, rows, result texts, verdicts and
# an offscreen rendering of a judged grid: one executable, one file per idea.
monitor_add_test(test_monitor_dialog
  SOURCES tests/test_monitor_dialog.cpp tests/test_monitor_dialog_geometry.cpp tests/test_rows.cpp
          tests/test_rows_result_text.cpp tests/test_verdict.cpp tests/test_grid_render.cpp
          tests/test_event_backlog.cpp tests/test_rows_shown.cpp
  LIBS monitor_dialog)
