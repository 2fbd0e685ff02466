# CMonitorDialog: the window with its grid of result lists, the row members
# and the verdict display.
monitor_object_library(monitor_dialog
  SOURCES
    monitor/MonitorDialog.cpp
    monitor/MonitorDialogRows.cpp
    monitor/MonitorDialogVerdict.cpp
    monitor/GridGeometry.cpp
    monitor/ResultText.cpp
  DEPS monitor_list monitor_archive platform_window platform_screen platform_core results_outbox)
