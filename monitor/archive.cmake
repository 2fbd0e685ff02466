# The checked archive and the list-contents store routine, independent of any window.
monitor_object_library(monitor_archive_core
  SOURCES platform/File.cpp platform/Archive.cpp monitor/CheckArchive.cpp monitor/ListContentsArchive.cpp
  DEPS platform_core)
