monitor_add_test(test_exe_directory
  SOURCES tests/test_exe_directory.cpp
  LIBS platform_files platform_core)

monitor_add_test(test_result_log
  SOURCES tests/test_result_log.cpp
  LIBS results_log)

monitor_add_test(test_result_summary
  SOURCES tests/test_result_summary.cpp
  LIBS results_summary)

# The MES double the upload and save tests report to.
if(MONITOR_BUILD_TESTS OR MONITOR_BUILD_BENCH)
  add_library(results_mes_double STATIC tests/MesDouble.cpp)
  target_include_directories(results_mes_double PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(results_mes_double PUBLIC test_support platform_core EXPAT::EXPAT)
endif()

monitor_add_test(test_result_summary_upload
  SOURCES tests/test_result_summary_upload.cpp
  LIBS results_upload results_mes_double)
