// libFuzzer target: arbitrary bytes as the body of a 500 reply, read as a SOAP Fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/UnevenSoapSource.h"
#include "mes/SoapFaultReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static platform::CXmlReader reader;
  mes::SoapFault fault;
  UnevenSoapSource body(data, size, 89);
  mes::SoapStatus status = mes::ParseSoapFault(body, &reader, fault);
  if (reader.GetContentHandler() != nullptr) abort();  // the reader must be left unbound
  if (mes::SoapSucceeded(status)) {
    const int code = fault.m_nCode;
    if (code != 0 && code != 100 && code != 200 && code != 300 && code != 400) abort();
  }
  return 0;
}
