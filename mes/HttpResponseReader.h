// Reads one HTTP/1.1 response from a byte source into a single buffer and splits
// it: status line, header fields, and a body framed by Content-Length, chunked
// transfer coding, or the close of the connection. Interim 1xx replies are
// passed over. Independent of the socket, so it can be driven from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace mes {

enum class HttpReadResult : int {
  Complete = 0,
  StatusInvalid = 2,     // the status line could not be read
  HeaderIncomplete = 4,  // the source gave no more data before the header block ended
  BodyFailed = 5,        // the body could not be read
  ChunkedInvalid = 6,    // the chunked body could not be decoded
};

// Something that delivers bytes: false on an error or time-out; true with
// *size = 0 when nothing came (the peer closed); in: capacity, out: bytes.
class IHttpByteSource {
 public:
  virtual ~IHttpByteSource() = default;
  virtual bool Receive(char* buffer, std::size_t* size) = 0;
};

struct CaseInsensitiveLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};
bool EqualsNoCase(std::string_view a, std::string_view b);

// Response headers; a repeated field's values are joined with ",".
using CHttpHeaderMap = std::map<std::string, std::string, CaseInsensitiveLess>;

// Everything read for the current response. The first 4096 bytes live in the
// object; beyond that a heap block grows by at least 4096 bytes at a time. It
// is always NUL-terminated and never grows past its cap.
class CHttpResponseBuffer {
 public:
  static constexpr std::size_t kInlineSize = 4096;
  CHttpResponseBuffer() { m_inline[0] = '\0'; }
  ~CHttpResponseBuffer();
  CHttpResponseBuffer(const CHttpResponseBuffer&) = delete;
  CHttpResponseBuffer& operator=(const CHttpResponseBuffer&) = delete;

  void SetCap(std::size_t maxBytes) { m_nCap = maxBytes; }
  // False when the cap would be exceeded or memory ran out (nothing changes).
  bool Append(const char* data, std::size_t length);
  // Makes room for `length` more bytes and returns where they go; Commit adds
  // the bytes actually written there. Null when the cap or memory says no.
  char* Reserve(std::size_t length);
  void Commit(std::size_t length);
  void Truncate(std::size_t length);
  void Clear() { Truncate(0); }
  const char* Data() const { return m_pData; }
  std::size_t Size() const { return m_nSize; }
  bool IsOnHeap() const { return m_pData != m_inline; }

 private:
  char m_inline[kInlineSize + 1];
  char* m_pData = m_inline;
  std::size_t m_nSize = 0;
  std::size_t m_nCapacity = kInlineSize;  // excluding the terminating NUL
  std::size_t m_nCap = std::size_t(64) << 20;
};

class CHttpResponseReader {
 public:
  // Limits of a read. readBlockSize 0 means 2048.
  struct Limits {
    std::size_t readBlockSize = 4096;
    std::size_t maxResponseBytes = std::size_t(64) << 20;
  };

  // Empties the buffer and forgets the previous response.
  void Reset();
  // Reads the next response (interim 100 replies skipped). A response to a
  // HEAD request has no body whatever its headers say.
  HttpReadResult ReadResponse(IHttpByteSource& source, const Limits& limits, bool headRequest = false);

  int GetStatus() const { return m_nStatus; }
  const CHttpHeaderMap& GetHeaders() const { return m_headers; }
  // Copy of a header's value; false when the response has no such header.
  bool GetHeader(std::string_view name, std::string& value) const;
  bool HeaderEquals(std::string_view name, std::string_view value) const;
  const char* GetBody() const { return m_buffer.Data() + m_nBodyStart; }
  std::size_t GetBodyLength() const { return m_nBodyLength; }
  std::size_t GetHeaderStart() const { return m_nHeaderStart; }
  std::size_t GetHeaderLength() const { return m_nHeaderLength; }
  // True when the connection cannot carry another exchange: the body ran until
  // the peer closed (or stopped sending), or bytes beyond the response arrived.
  bool ConnectionSpent() const { return m_bConnectionSpent; }
  const CHttpResponseBuffer& GetBuffer() const { return m_buffer; }

 private:
  HttpReadResult ReadHeaderBlock(IHttpByteSource& source);
  HttpReadResult ParseStatusLine();
  void ParseHeaderFields(std::size_t from, std::size_t to);
  void AddHeaderField(std::string_view field);
  HttpReadResult ReadBodyWithLength(IHttpByteSource& source, std::int64_t length);
  HttpReadResult ReadBodyToClose(IHttpByteSource& source);
  HttpReadResult ReadChunkedBody(IHttpByteSource& source);
  enum class Received { Data, Nothing, Failed, TooLarge };
  Received ReceiveIntoBuffer(IHttpByteSource& source, std::size_t want);
  Received ReceiveInto(IHttpByteSource& source, std::string& pending, std::size_t want);

  CHttpResponseBuffer m_buffer;
  CHttpHeaderMap m_headers;
  Limits m_limits;
  int m_nStatus = -1;
  std::size_t m_nScan = 0;  // where the search for the next header block starts
  std::size_t m_nHeaderStart = 0;
  std::size_t m_nHeaderLength = 0;
  std::size_t m_nBodyStart = 0;
  std::size_t m_nBodyLength = 0;
  bool m_bConnectionSpent = false;
};

}  // namespace mes
