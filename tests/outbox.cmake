# The MES outbox: its file, judged deliveries, forwarding against the storing
# spyne MES (/usr/bin/python3 with python3-spyne) and the loopback MES double,
# and the technician's command.
monitor_add_test(test_mes_outbox
  SOURCES tests/test_mes_outbox_store.cpp tests/test_mes_delivery.cpp tests/test_mes_outbox_forwarding.cpp
  LIBS results_outbox mes_outbox_command results_test_support
  TIMEOUT 240)

# SaveResult with the outbox switched on.
monitor_add_test(test_save_result_outbox
  SOURCES tests/test_save_result_outbox.cpp
  LIBS results_saving monitor_dialog results_test_support)
