// Feeds canned bytes in pieces of a chosen size, as a socket would: to an HTTP
// response reader (then the end of the connection, 0 bytes, or an error) or to
// a SOAP parser as its read stream.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "mes/HttpResponseReader.h"
#include "mes/SoapStreams.h"

namespace testsupport {

class CMemoryByteSource final : public mes::IHttpByteSource, public mes::ISoapReadStream {
 public:
  explicit CMemoryByteSource(std::string bytes, std::size_t pieceSize = SIZE_MAX, bool failAtEnd = false)
      : m_bytes(std::move(bytes)), m_nPiece(pieceSize ? pieceSize : 1), m_bFailAtEnd(failAtEnd) {}

  bool Receive(char* buffer, std::size_t* size) override {
    *size = Read(buffer, *size);
    return *size > 0 || !m_bFailAtEnd;
  }
  std::size_t Read(char* buffer, std::size_t maxLength) override {
    const std::size_t n = std::min({maxLength, m_nPiece, m_bytes.size() - m_nPos});
    std::memcpy(buffer, m_bytes.data() + m_nPos, n);
    m_nPos += n;
    return n;
  }

 private:
  std::string m_bytes;
  std::size_t m_nPiece;
  bool m_bFailAtEnd;
  std::size_t m_nPos = 0;
};

}  // namespace testsupport
