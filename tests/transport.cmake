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
