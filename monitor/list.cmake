# The result list control and its in-place cell editor. The list's archive
# operation is defined with the list contents archive.
monitor_object_library(monitor_list
  SOURCES monitor/MyListCtrl.cpp monitor/MyEdit.cpp
  DEPS platform_window platform_core $<TARGET_NAME_IF_EXISTS:monitor_archive>)
