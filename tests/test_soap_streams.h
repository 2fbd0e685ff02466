// Memory streams for exercising the SOAP writer and parsers without a transport.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "mes/SoapStreams.h"

namespace soaptest {

class StringSink final : public ISoapWriteStream {
 public:
  using ISoapWriteStream::Write;
  bool Write(const char* data, std::size_t length) override {
    if (failAfter != std::string::npos && text.size() + length > failAfter) return false;
    text.append(data, length);
    return true;
  }
  std::string text;
  std::size_t failAfter = std::string::npos;  // simulate running out of memory
};

// Hands out at most `piece` bytes per read, to exercise split character data.
class StringSource final : public ISoapReadStream {
 public:
  explicit StringSource(std::string_view bytes, std::size_t piece = 1 << 20) : m_bytes(bytes), m_piece(piece) {}
  std::size_t Read(char* buffer, std::size_t maxLength) override {
    std::size_t n = std::min({maxLength, m_piece, m_bytes.size() - m_pos});
    std::memcpy(buffer, m_bytes.data() + m_pos, n);
    m_pos += n;
    return n;
  }

 private:
  std::string m_bytes;
  std::size_t m_piece;
  std::size_t m_pos = 0;
};

}  // namespace soaptest
