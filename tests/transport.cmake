# Tests of the MES client's transport: socket, URL, response reader, HTTP client, SOAP transport.
monitor_add_test(test_http_response_reader
  SOURCES tests/test_http_response_reader.cpp
  LIBS mes_transport)
monitor_add_test(test_http_url
  SOURCES tests/test_http_url.cpp
  LIBS mes_transport)
monitor_add_test(test_http_client
  SOURCES tests/test_http_client.cpp
  LIBS mes_transport test_support)
monitor_add_test(test_event_socket
  SOURCES tests/test_event_socket.cpp
  LIBS mes_transport test_support)
monitor_add_test(test_http_soap_transport
  SOURCES tests/test_http_soap_transport.cpp
  LIBS mes_transport test_support)
