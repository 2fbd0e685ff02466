# The executable directory and the file operations the savers use.
monitor_object_library(platform_files
  SOURCES platform/ExeDirectory.cpp
  DEPS platform_core)
