# Tests of the .xls workbook engine; the peer tests run python3-xlrd and
# LibreOffice Calc (scripts in tests/peers).
monitor_add_test(test_xls_compound_file
  SOURCES tests/test_xls_compound_file.cpp
  LIBS xls_engine Qt6::Core)
monitor_add_test(test_xls_biff
  SOURCES tests/test_xls_biff.cpp
  LIBS xls_engine Qt6::Core)
monitor_add_test(test_xls_workbook_read
  SOURCES tests/test_xls_workbook_read.cpp
  LIBS xls_engine Qt6::Core)
monitor_add_test(test_xls_workbook_write
  SOURCES tests/test_xls_workbook_write.cpp
  LIBS xls_engine Qt6::Core)
monitor_add_test(test_xls_peers
  SOURCES tests/test_xls_peers.cpp
  LIBS xls_engine Qt6::Core
  TIMEOUT 900)
