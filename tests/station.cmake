# The station program and its MES receiver: scenario reading and set-up checks,
# the receiver in-process, and both programs end to end (needs /usr/bin/python3
# with python3-xlrd to read PCB.xls back).
find_package(SQLite3 REQUIRED)
monitor_add_test(test_station_scenario
  SOURCES tests/test_station_scenario.cpp tests/test_station_setup.cpp
  LIBS station_core)
monitor_add_test(test_mes_receiver
  SOURCES tests/test_mes_receiver.cpp
  LIBS mes_receiver_core mes_soap)
monitor_add_test(test_station_end_to_end
  SOURCES tests/test_station_end_to_end.cpp
  LIBS SQLite::SQLite3
  TIMEOUT 300)
if(TARGET test_station_end_to_end)
  target_compile_definitions(test_station_end_to_end PRIVATE
    STATION_PROGRAM="$<TARGET_FILE:monitor-station>" RECEIVER_PROGRAM="$<TARGET_FILE:mes-receiver>")
  add_dependencies(test_station_end_to_end monitor-station mes-receiver)
endif()
