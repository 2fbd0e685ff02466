# The savers of a unit's results: verdict, text result log.
monitor_object_library(results_log
  SOURCES
    results/ResultVerdict.cpp
    results/ResultLogText.cpp
    results/ResultPaths.cpp
    results/ResultLog.cpp
  DEPS platform_files platform_core)

# The second log, the check tables and the values reported to the MES.
monitor_object_library(results_summary
  SOURCES
    results/StringBetween.cpp
    results/FaultCodes.cpp
    results/ResultSummary.cpp
  DEPS results_log platform_files platform_core)

# The upload step: one IO_UpData_Common call with the unit's values.
monitor_object_library(results_upload
  SOURCES
    results/MesUpload.cpp
    results/ResultUpload.cpp
  DEPS results_summary mes_soap)

# CMonitorDialog::SaveResult and the savers' access to a result list.
monitor_object_library(results_saving
  SOURCES
    results/ResultListAccess.cpp
    monitor/MonitorDialogSaving.cpp
  DEPS results_upload results_log)
