# The executable directory, the clock and the file operations the savers use.
monitor_object_library(platform_files
  SOURCES platform/ExeDirectory.cpp platform/Clock.cpp platform/Files.cpp
  DEPS platform_core)
