# The savers of a unit's results: verdict, text result log.
monitor_object_library(results_log
  SOURCES
    results/ResultVerdict.cpp
    results/ResultLogText.cpp
    results/ResultPaths.cpp
    results/ResultLog.cpp
  DEPS platform_files platform_core)
