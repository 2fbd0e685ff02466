# The checked archive and the list-contents store routine, independent of any window.
monitor_object_library(monitor_archive_core
  SOURCES platform/File.cpp platform/Archive.cpp monitor/CheckArchive.cpp monitor/ListContentsArchive.cpp
  DEPS platform_core)

# The result list's archive operation over the list control.
monitor_object_library(monitor_archive
  SOURCES monitor/MyListCtrlArchive.cpp
  DEPS monitor_archive_core platform_window)
