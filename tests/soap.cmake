# SOAP envelope, reply and fault parsing, the XML reader, and the proxy.
monitor_add_test(test_soap_envelope
  SOURCES tests/test_soap_writer.cpp tests/test_soap_reply.cpp tests/test_soap_fault.cpp
          tests/test_soap_xml_reader.cpp tests/test_proxy.cpp
  LIBS mes_soap test_support)
# Needs /usr/bin/python3 with python3-spyne (scripts/deps/mes.txt).
monitor_add_test(test_spyne_interop
  SOURCES tests/test_spyne_interop.cpp
  LIBS mes_soap
  TIMEOUT 120)
