// libFuzzer target: arbitrary bytes as the body of a 200 reply to IO_UpData_Common.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "mes/CS_QuerySN.h"

namespace {

class BytesSource final : public ISoapReadStream {
 public:
  BytesSource(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  std::size_t Read(char* buffer, std::size_t maxLength) override {
    // Small, uneven pieces so character data and names arrive split.
    std::size_t n = std::min({maxLength, m_size - m_pos, std::size_t{1} + (m_pos % 97)});
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
  static platform::CXmlReader reader;  // reused across inputs, as a proxy reuses its reader
  CS_QuerySN::IO_UpData_CommonParams params;
  params.OrderNo = u"in";
  CSoapEnvelopeHandler handler;
  handler.SetClient(true);
  if (SoapFailed(handler.BeginParse(CS_QuerySN::IO_UpData_CommonMap(), &params))) abort();
  BytesSource body(data, size);
  SoapStatus status = handler.ParseReply(body, reader);
  if (SoapFailed(status)) {
    handler.FreeReadValues();
    if (params.IO_UpData_CommonResult) abort();  // a failed parse must leave no result
  } else if (params.IO_UpData_CommonResult) {
    volatile std::size_t n = params.IO_UpData_CommonResult->size();
    (void)n;
  }
  handler.Reset();
  return 0;
}
