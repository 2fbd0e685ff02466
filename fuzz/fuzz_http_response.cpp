// Feeds arbitrary bytes to the HTTP response reader as a server's reply,
// delivered in pieces whose size the input chooses, with a small reply cap so
// that oversized replies are exercised too. Whatever the bytes, the reader must
// end in a defined result and leave a consistent, NUL-terminated buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mes/HttpClient.h"
#include "mes/HttpResponseReader.h"

namespace {

class CFuzzSource final : public mes::IHttpByteSource {
 public:
  CFuzzSource(const std::uint8_t* data, std::size_t size, std::size_t piece, bool failAtEnd)
      : m_data(data), m_size(size), m_piece(piece), m_failAtEnd(failAtEnd) {}
  bool Receive(char* buffer, std::size_t* size) override {
    std::size_t n = m_size - m_pos;
    if (n > *size) n = *size;
    if (n > m_piece) n = m_piece;
    if (n == 0 && m_failAtEnd) return false;
    std::memcpy(buffer, m_data + m_pos, n);
    m_pos += n;
    *size = n;
    return true;
  }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_piece;
  bool m_failAtEnd;
  std::size_t m_pos = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t piece = 1 + (data[0] & 0x7F) * 37;
  const bool failAtEnd = (data[0] & 0x80) != 0;
  mes::CHttpResponseReader::Limits limits;
  limits.readBlockSize = (data[1] & 0x0F) * 512;
  limits.maxResponseBytes = 64 * 1024;
  const bool head = (data[1] & 0x10) != 0;
  CFuzzSource source(data + 2, size - 2, piece, failAtEnd);

  mes::CHttpResponseReader reader;
  const mes::HttpReadResult result = reader.ReadResponse(source, limits, head);
  switch (result) {
    case mes::HttpReadResult::Complete:
    case mes::HttpReadResult::StatusInvalid:
    case mes::HttpReadResult::HeaderIncomplete:
    case mes::HttpReadResult::BodyFailed:
    case mes::HttpReadResult::ChunkedInvalid:
      break;
    default:
      std::abort();
  }
  const mes::CHttpResponseBuffer& buffer = reader.GetBuffer();
  if (buffer.Size() > limits.maxResponseBytes) std::abort();
  if (buffer.Data()[buffer.Size()] != '\0') std::abort();
  const char* body = reader.GetBody();
  if (body < buffer.Data() || body + reader.GetBodyLength() > buffer.Data() + buffer.Size()) std::abort();
  if (result == mes::HttpReadResult::Complete && reader.GetStatus() < 0) std::abort();

  // Touch every byte of the body and the headers, as the SOAP parser would.
  volatile unsigned sum = 0;
  for (std::size_t i = 0; i < reader.GetBodyLength(); ++i) sum = sum + static_cast<unsigned char>(body[i]);
  for (const auto& [name, value] : reader.GetHeaders()) sum = sum + static_cast<unsigned>(name.size() + value.size());

  // A redirect target taken from the reply must resolve or be refused cleanly.
  std::string location;
  if (reader.GetHeader("Location", location)) {
    mes::CHttpUrl current;
    current.CrackUrl("http://mes/querysn/cs_querysn.asmx");
    mes::CHttpUrl next;
    if (mes::ResolveHttpLocation(current, location, next)) (void)next.CreateUrl();
  }
  return 0;
}
