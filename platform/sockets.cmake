# TCP sockets with bounded waits: the operating-system side of the MES client.
monitor_object_library(platform_sockets
  SOURCES platform/Sockets.cpp)
