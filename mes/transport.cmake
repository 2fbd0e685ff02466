# The MES client's transport: event socket, URL, HTTP client, SOAP transport.
monitor_object_library(mes_transport
  SOURCES
    mes/EventSocket.cpp
    mes/HttpUrl.cpp
    mes/HttpResponseReader.cpp
    mes/HttpClient.cpp
    mes/SoapStreams.cpp
  DEPS platform_core platform_sockets)
