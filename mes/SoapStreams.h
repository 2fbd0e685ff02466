// Byte streams between the SOAP envelope code and the HTTP transport: the
// request is appended to a write stream, the reply body is read from a read
// stream. The interfaces let the envelope writer and the reply parsers be used
// (and tested) on plain memory as well as on the transport's buffers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mes {

class ISoapWriteStream {
 public:
  virtual ~ISoapWriteStream() = default;
  // Appends the bytes. False when memory ran out (nothing is half-appended).
  virtual bool Write(const char* data, std::size_t length) = 0;
  bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
  // A hint that about this many more bytes will be appended, so that a
  // growing stream can make room once. Streams may ignore it.
  virtual void Reserve(std::size_t /*additional*/) {}
};

class ISoapReadStream {
 public:
  virtual ~ISoapReadStream() = default;
  // Copies up to maxLength bytes into buffer; returns how many, 0 at the end.
  virtual std::size_t Read(char* buffer, std::size_t maxLength) = 0;
};

// The request buffer: an 8-bit string that only grows by appending.
class CStringWriteStream final : public ISoapWriteStream {
 public:
  using ISoapWriteStream::Write;
  bool Write(const char* data, std::size_t length) override;
  void Reserve(std::size_t additional) override;
  void Cleanup() { m_str.clear(); }
  const std::string& GetString() const { return m_str; }
  std::size_t GetLength() const { return m_str.size(); }

 private:
  std::string m_str;
};

// Reads a block of bytes owned by someone else (the HTTP client's response
// buffer, or any memory a test hands it). The bytes must outlive the stream's
// use; the transport re-initialises it for every reply.
class CReplyReadStream final : public ISoapReadStream {
 public:
  // False (and an empty stream) when there is no body or its length is 0.
  bool Init(const char* body, std::size_t length);
  void Release() {
    m_pData = nullptr;
    m_nLength = m_nPos = 0;
  }
  std::size_t Read(char* buffer, std::size_t maxLength) override;
  std::size_t GetLength() const { return m_nLength; }

 private:
  const char* m_pData = nullptr;
  std::size_t m_nLength = 0;
  std::size_t m_nPos = 0;
};

}  // namespace mes
