# The monitor window, its grid arithmetic, rows, result texts, verdicts and
# an offscreen rendering of a judged grid: one executable, one file per idea.
monitor_add_test(test_monitor_dialog
  SOURCES tests/test_monitor_dialog.cpp tests/test_monitor_dialog_geometry.cpp tests/test_rows.cpp
          tests/test_rows_result_text.cpp tests/test_verdict.cpp tests/test_grid_render.cpp
          tests/test_event_backlog.cpp tests/test_rows_shown.cpp
  LIBS monitor_dialog)
# The monitor window's rectangle, offscreen and under a private X server with
# a window manager (Xvfb and openbox, started by the test itself).
monitor_add_test(test_window_rect SOURCES tests/test_window_rect.cpp LIBS monitor_dialog)
if(MONITOR_BUILD_TESTS)
  add_test(NAME test_window_rect_x11 COMMAND test_window_rect)
  set_tests_properties(test_window_rect_x11 PROPERTIES TIMEOUT 300 ENVIRONMENT "MONITOR_TEST_X_SERVER=1")
endif()
