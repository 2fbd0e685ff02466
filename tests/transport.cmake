# Tests of the MES client's transport: socket, URL, response reader, HTTP client, SOAP transport.
monitor_add_test(test_mes_transport
  SOURCES tests/test_event_socket.cpp tests/test_http_url.cpp tests/test_http_response_reader.cpp
          tests/test_http_client.cpp tests/test_http_soap_transport.cpp
  LIBS mes_transport test_support)
