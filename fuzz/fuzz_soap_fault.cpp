// libFuzzer target: arbitrary bytes as the body of a 500 reply, read as a SOAP Fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "mes/SoapFaultReader.h"

namespace {

class BytesSource final : public ISoapReadStream {
 public:
  BytesSource(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  std::size_t Read(char* buffer, std::size_t maxLength) override {
    std::size_t n = std::min({maxLength, m_size - m_pos, std::size_t{1} + (m_pos % 89)});
    std::memcpy(buffer, m_data + m_pos, n);
    m_pos += n;
    return n;
  }

 private:
  const uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static platform::CXmlReader reader;
  SoapFault fault;
  BytesSource body(data, size);
  SoapStatus status = ParseSoapFault(body, &reader, fault);
  if (reader.GetContentHandler() != nullptr) abort();  // the reader must be left unbound
  if (SoapSucceeded(status)) {
    const int code = fault.m_nCode;
    if (code != 0 && code != 100 && code != 200 && code != 300 && code != 400) abort();
  }
  return 0;
}
