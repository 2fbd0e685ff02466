# The MES outbox: reports committed to a SQLite file before they are sent,
# and sent again until the MES takes them.
find_package(SQLite3 REQUIRED)

# The outbox file alone (also used by the technician's command).
monitor_object_library(results_outbox_store
  SOURCES results/MesOutboxStore.cpp
  DEPS SQLite::SQLite3)

# Judged deliveries, the station lock, the forwarder with its worker and the
# dialog's switch.
monitor_object_library(results_outbox
  SOURCES
    results/MesDelivery.cpp
    results/MesOutboxLock.cpp
    results/MesOutboxForwarder.cpp
    results/MesOutbox.cpp
    results/MesOutboxSwitch.cpp
  DEPS results_outbox_store results_upload mes_soap platform_files platform_core Threads::Threads)
