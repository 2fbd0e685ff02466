# The SOAP reply and fault parsers under libFuzzer with AddressSanitizer. The
# parser sources are compiled into each target so they carry the coverage
# instrumentation; expat itself is the system's library.
if(MONITOR_BUILD_FUZZERS)
  set(_soap_parser_sources
    mes/SoapEnvelopeHandler.cpp mes/SoapReplyHandler.cpp mes/SoapWriters.cpp mes/SoapWritersText.cpp
    mes/XmlTextCollector.cpp mes/SoapFaultReader.cpp mes/CS_QuerySN.cpp platform/XmlReader.cpp)
  foreach(_target fuzz_soap_reply fuzz_soap_fault)
    monitor_add_fuzzer(${_target}
      SOURCES fuzz/${_target}.cpp ${_soap_parser_sources}
      LIBS mes_transport platform_core EXPAT::EXPAT)
    target_compile_options(${_target} PRIVATE -fsanitize=address)
    target_link_options(${_target} PRIVATE -fsanitize=address)
  endforeach()
endif()
