// Feeds canned bytes to an HTTP response reader in pieces of a chosen size, as
// a socket would, then reports the end of the connection (0 bytes) or an error.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "mes/HttpResponseReader.h"

namespace testsupport {

class CMemoryByteSource final : public IHttpByteSource {
 public:
  explicit CMemoryByteSource(std::string bytes, std::size_t pieceSize = SIZE_MAX, bool failAtEnd = false)
      : m_bytes(std::move(bytes)), m_nPiece(pieceSize ? pieceSize : 1), m_bFailAtEnd(failAtEnd) {}

  bool Receive(char* buffer, std::size_t* size) override {
    ++m_nCalls;
    const std::size_t n = std::min({*size, m_nPiece, m_bytes.size() - m_nPos});
    if (n == 0 && m_bFailAtEnd) return false;
    std::memcpy(buffer, m_bytes.data() + m_nPos, n);
    m_nPos += n;
    *size = n;
    return true;
  }

  std::size_t Consumed() const { return m_nPos; }
  int Calls() const { return m_nCalls; }

 private:
  std::string m_bytes;
  std::size_t m_nPiece;
  bool m_bFailAtEnd;
  std::size_t m_nPos = 0;
  int m_nCalls = 0;
};

}  // namespace testsupport
