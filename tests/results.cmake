monitor_add_test(test_exe_directory
  SOURCES tests/test_exe_directory.cpp tests/test_text_file_writer.cpp
  LIBS platform_files platform_core)

# The savers' test helpers: the MES double the save tests report to, and the
# message capture of the saving fixture.
if(MONITOR_BUILD_TESTS OR MONITOR_BUILD_BENCH)
  add_library(results_test_support STATIC tests/MesDouble.cpp tests/MessageCapture.cpp)
  target_include_directories(results_test_support PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(results_test_support PUBLIC test_support platform_files platform_core EXPAT::EXPAT)
endif()

monitor_add_test(test_result_log
  SOURCES tests/test_result_log.cpp
  LIBS results_log results_test_support)

monitor_add_test(test_result_summary
  SOURCES tests/test_result_summary.cpp
  LIBS results_summary results_test_support)

monitor_add_test(test_save_result
  SOURCES tests/test_save_result.cpp
  LIBS results_saving results_export_dialog monitor_dialog results_test_support)
