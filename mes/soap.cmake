# SOAP envelope writing, reply and fault parsing, and the IO_UpData_Common proxy.
monitor_object_library(mes_soap
  SOURCES
    mes/SoapWritersText.cpp
    mes/SoapWriters.cpp
    mes/SoapEnvelopeHandler.cpp
    mes/SoapReplyHandler.cpp
    mes/XmlTextCollector.cpp
    mes/SoapFaultReader.cpp
    mes/CS_QuerySN.cpp
  DEPS mes_transport platform_xml platform_core)
