# The technician's command on the MES outbox (its own folder).
add_subdirectory(${CMAKE_SOURCE_DIR}/tools/mes-outbox ${CMAKE_BINARY_DIR}/tools/mes-outbox)
