#include "mes/HttpResponseReader.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace mes {

namespace {

constexpr std::size_t kHeaderReadSize = 2048;
constexpr std::size_t kMaxFieldPart = 1024;  // names and values this long are dropped
constexpr int kHeaderReadAttempts = 5;
constexpr int kBodyReadAttempts = 5;
constexpr int kCloseDelimitedEmptyReads = 6;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Statuses whose responses never carry a body.
bool HasNoBody(int status) {
  return (status >= 100 && status < 200) || status == 204 || status == 304;
}

}  // namespace

bool CaseInsensitiveLess::operator()(std::string_view a, std::string_view b) const {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// ---- CHttpResponseBuffer ----

CHttpResponseBuffer::~CHttpResponseBuffer() {
  if (IsOnHeap()) std::free(m_pData);
}

char* CHttpResponseBuffer::Reserve(std::size_t length) {
  if (length > m_nCap || m_nSize > m_nCap - length) return nullptr;
  const std::size_t needed = m_nSize + length;
  if (needed <= m_nCapacity) return m_pData + m_nSize;
  // Grow by at least 4096 bytes, doubling so large replies stay linear.
  std::size_t capacity = std::max({needed, m_nCapacity + kInlineSize, m_nCapacity * 2});
  capacity = std::min(capacity, std::max(needed, m_nCap));
  char* grown = nullptr;
  if (IsOnHeap()) {
    grown = static_cast<char*>(std::realloc(m_pData, capacity + 1));
  } else {
    grown = static_cast<char*>(std::malloc(capacity + 1));
    if (grown) std::memcpy(grown, m_inline, m_nSize + 1);
  }
  if (grown == nullptr) return nullptr;
  m_pData = grown;
  m_nCapacity = capacity;
  return m_pData + m_nSize;
}

void CHttpResponseBuffer::Commit(std::size_t length) {
  m_nSize += length;
  m_pData[m_nSize] = '\0';
}

bool CHttpResponseBuffer::Append(const char* data, std::size_t length) {
  char* place = Reserve(length);
  if (place == nullptr) return false;
  if (length) std::memcpy(place, data, length);
  Commit(length);
  return true;
}

void CHttpResponseBuffer::Truncate(std::size_t length) {
  if (length >= m_nSize) return;
  m_nSize = length;
  m_pData[m_nSize] = '\0';
}

// ---- CHttpResponseReader ----

void CHttpResponseReader::Reset() {
  m_buffer.Clear();
  m_headers.clear();
  m_nStatus = -1;
  m_nScan = 0;
  m_nHeaderStart = m_nHeaderLength = 0;
  m_nBodyStart = m_nBodyLength = 0;
  m_bConnectionSpent = false;
}

bool CHttpResponseReader::GetHeader(std::string_view name, std::string& value) const {
  const auto it = m_headers.find(name);
  if (it == m_headers.end()) return false;
  value = it->second;
  return true;
}

bool CHttpResponseReader::HeaderEquals(std::string_view name, std::string_view value) const {
  const auto it = m_headers.find(name);
  return it != m_headers.end() && EqualsNoCase(it->second, value);
}

CHttpResponseReader::Received CHttpResponseReader::ReceiveIntoBuffer(IHttpByteSource& source, std::size_t want) {
  char* place = m_buffer.Reserve(want);
  if (place == nullptr) {
    // Near the cap: take what still fits, and refuse once nothing does.
    const std::size_t room =
        m_limits.maxResponseBytes > m_buffer.Size() ? m_limits.maxResponseBytes - m_buffer.Size() : 0;
    want = std::min(want, room);
    place = want ? m_buffer.Reserve(want) : nullptr;
    if (place == nullptr) return Received::TooLarge;
  }
  std::size_t got = want;
  if (!source.Receive(place, &got)) return Received::Failed;
  got = std::min(got, want);
  m_buffer.Commit(got);
  return got ? Received::Data : Received::Nothing;
}

CHttpResponseReader::Received CHttpResponseReader::ReceiveInto(IHttpByteSource& source, std::string& pending,
                                                               std::size_t want) {
  if (pending.size() + want > m_limits.maxResponseBytes) return Received::TooLarge;
  const std::size_t old = pending.size();
  pending.resize(old + want);
  std::size_t got = want;
  if (!source.Receive(pending.data() + old, &got)) {
    pending.resize(old);
    return Received::Failed;
  }
  got = std::min(got, want);
  pending.resize(old + got);
  return got ? Received::Data : Received::Nothing;
}

HttpReadResult CHttpResponseReader::ReadResponse(IHttpByteSource& source, const Limits& limits, bool headRequest) {
  m_limits = limits;
  m_buffer.SetCap(limits.maxResponseBytes);
  for (;;) {
    m_headers.clear();
    m_nStatus = -1;
    m_nHeaderLength = 0;
    m_nBodyLength = 0;
    m_bConnectionSpent = false;

    HttpReadResult result = ReadHeaderBlock(source);
    if (result != HttpReadResult::Complete) return result;
    result = ParseStatusLine();
    if (result != HttpReadResult::Complete) return result;
    m_nBodyStart = m_nScan;
    // Interim replies (100 Continue and the like) precede the real one.
    if (m_nStatus >= 100 && m_nStatus < 200 && m_nStatus != 101) continue;
    break;
  }

  const char* block = m_buffer.Data() + m_nHeaderStart;
  const char* lineEnd = static_cast<const char*>(std::memchr(block, '\n', m_nHeaderLength));
  ParseHeaderFields(m_nHeaderStart + static_cast<std::size_t>(lineEnd - block) + 1, m_nHeaderStart + m_nHeaderLength);

  if (headRequest || HasNoBody(m_nStatus)) return HttpReadResult::Complete;

  std::string coding;
  if (GetHeader("Transfer-Encoding", coding)) {
    // The last coding applied decides the framing.
    const std::size_t comma = coding.rfind(',');
    if (EqualsNoCase(Trim(comma == std::string::npos ? coding : std::string_view(coding).substr(comma + 1)),
                     "chunked")) {
      return ReadChunkedBody(source);
    }
  }
  std::string lengthText;
  if (!GetHeader("Content-Length", lengthText)) return ReadBodyToClose(source);
  const std::string_view digits = Trim(lengthText);
  if (digits.empty()) return HttpReadResult::BodyFailed;
  std::int64_t length = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return HttpReadResult::BodyFailed;
    if (length > (std::numeric_limits<std::int64_t>::max() - 9) / 10) return HttpReadResult::BodyFailed;
    length = length * 10 + (c - '0');
  }
  return ReadBodyWithLength(source, length);
}

HttpReadResult CHttpResponseReader::ReadHeaderBlock(IHttpByteSource& source) {
  std::size_t searchFrom = m_nScan;
  int emptyReads = 0;
  for (;;) {
    const std::string_view data(m_buffer.Data(), m_buffer.Size());
    const std::size_t found = data.find("\r\n\r\n", searchFrom);
    if (found != std::string_view::npos) {
      m_nHeaderStart = m_nScan;
      m_nHeaderLength = found + 4 - m_nScan;
      m_nScan = found + 4;
      return HttpReadResult::Complete;
    }
    searchFrom = data.size() >= 3 ? std::max(m_nScan, data.size() - 3) : m_nScan;
    switch (ReceiveIntoBuffer(source, kHeaderReadSize)) {
      case Received::Data:
        emptyReads = 0;
        break;
      case Received::Nothing:
        if (++emptyReads >= kHeaderReadAttempts) return HttpReadResult::HeaderIncomplete;
        break;
      case Received::Failed:
      case Received::TooLarge:
        return HttpReadResult::HeaderIncomplete;
    }
  }
}

HttpReadResult CHttpResponseReader::ParseStatusLine() {
  const char* p = m_buffer.Data() + m_nHeaderStart;
  const char* end = p + m_nHeaderLength;
  while (p < end && !IsBlank(*p) && *p != '\r' && *p != '\n') ++p;  // protocol version
  while (p < end && IsBlank(*p)) ++p;
  if (p == end || *p < '0' || *p > '9') return HttpReadResult::StatusInvalid;
  long status = 0;
  while (p < end && *p >= '0' && *p <= '9') {
    status = status * 10 + (*p - '0');
    if (status > std::numeric_limits<int>::max()) return HttpReadResult::StatusInvalid;
    ++p;
  }
  if (std::memchr(p, '\n', static_cast<std::size_t>(end - p)) == nullptr) return HttpReadResult::StatusInvalid;
  m_nStatus = static_cast<int>(status);
  return HttpReadResult::Complete;
}

void CHttpResponseReader::ParseHeaderFields(std::size_t from, std::size_t to) {
  const std::string_view data(m_buffer.Data(), to);
  std::size_t start = from;
  while (start < to) {
    std::size_t end = data.find("\r\n", start);
    if (end == std::string_view::npos || end == start) return;  // the empty line
    // Lines that begin with white space continue the field.
    while (end + 2 < to && IsBlank(data[end + 2])) {
      const std::size_t next = data.find("\r\n", end + 2);
      if (next == std::string_view::npos) break;
      end = next;
    }
    AddHeaderField(data.substr(start, end - start));
    start = end + 2;
  }
}

void CHttpResponseReader::AddHeaderField(std::string_view field) {
  const std::size_t colon = field.find(':');
  if (colon == std::string_view::npos || colon == 0) return;
  const std::string_view name = field.substr(0, colon);
  std::string_view value = field.substr(colon + 1);
  while (!value.empty() && (IsBlank(value.front()) || value.front() == '\r' || value.front() == '\n'))
    value.remove_prefix(1);
  if (name.size() >= kMaxFieldPart || value.size() >= kMaxFieldPart) return;
  const auto it = m_headers.find(name);
  if (it == m_headers.end()) {
    m_headers.emplace(std::string(name), std::string(value));
  } else {
    it->second += ',';
    it->second += value;
  }
}

HttpReadResult CHttpResponseReader::ReadBodyWithLength(IHttpByteSource& source, std::int64_t length) {
  if (static_cast<std::uint64_t>(length) > m_limits.maxResponseBytes) return HttpReadResult::BodyFailed;
  const std::size_t wanted = static_cast<std::size_t>(length);
  const std::size_t block = m_limits.readBlockSize ? m_limits.readBlockSize : 2048;
  int emptyReads = 0;
  for (;;) {
    const std::size_t have = m_buffer.Size() - m_nBodyStart;
    m_nBodyLength = std::min(have, wanted);
    if (have >= wanted) {
      if (have > wanted) {
        // Bytes past the announced length belong to no response we asked for.
        m_buffer.Truncate(m_nBodyStart + wanted);
        m_bConnectionSpent = true;
      }
      return HttpReadResult::Complete;
    }
    switch (ReceiveIntoBuffer(source, std::min(block, wanted - have))) {
      case Received::Data:
        emptyReads = 0;
        break;
      case Received::Nothing:
        if (++emptyReads >= kBodyReadAttempts) return HttpReadResult::BodyFailed;
        break;
      case Received::Failed:
      case Received::TooLarge:
        return HttpReadResult::BodyFailed;
    }
  }
}

HttpReadResult CHttpResponseReader::ReadBodyToClose(IHttpByteSource& source) {
  const std::size_t block = m_limits.readBlockSize ? m_limits.readBlockSize : 2048;
  m_bConnectionSpent = true;
  int emptyReads = 0;
  for (;;) {
    m_nBodyLength = m_buffer.Size() - m_nBodyStart;
    switch (ReceiveIntoBuffer(source, block)) {
      case Received::Data:
        emptyReads = 0;
        break;
      case Received::Nothing:
        if (++emptyReads >= kCloseDelimitedEmptyReads) return HttpReadResult::Complete;
        break;
      case Received::Failed:
        return HttpReadResult::Complete;  // the end of the connection ends the body
      case Received::TooLarge:
        return HttpReadResult::BodyFailed;
    }
  }
}

HttpReadResult CHttpResponseReader::ReadChunkedBody(IHttpByteSource& source) {
  const std::size_t block = std::max<std::size_t>(m_limits.readBlockSize, kHeaderReadSize);
  std::string pending(m_buffer.Data() + m_nBodyStart, m_buffer.Size() - m_nBodyStart);
  m_buffer.Truncate(m_nBodyStart);
  m_nBodyLength = 0;
  std::size_t pos = 0;

  // Makes at least n unread bytes available in pending.
  auto need = [&](std::size_t n) {
    while (pending.size() - pos < n) {
      pending.erase(0, pos);
      pos = 0;
      if (ReceiveInto(source, pending, block) != Received::Data) return false;
    }
    return true;
  };
  auto expectCrLf = [&] {
    if (!need(2) || pending[pos] != '\r' || pending[pos + 1] != '\n') return false;
    pos += 2;
    return true;
  };

  for (;;) {
    std::uint64_t size = 0;
    std::size_t digits = 0;
    for (;;) {
      if (!need(1)) return HttpReadResult::ChunkedInvalid;
      const char c = pending[pos];
      if (c == '\r') break;
      const int v = HexValue(c);
      if (v < 0) return HttpReadResult::ChunkedInvalid;  // chunk extensions included
      if (size > (m_limits.maxResponseBytes >> 4)) return HttpReadResult::ChunkedInvalid;
      size = size * 16 + static_cast<unsigned>(v);
      ++digits;
      ++pos;
    }
    if (digits == 0 || !expectCrLf()) return HttpReadResult::ChunkedInvalid;
    if (size == 0) break;
    if (size > m_limits.maxResponseBytes - m_buffer.Size()) return HttpReadResult::ChunkedInvalid;
    std::size_t left = static_cast<std::size_t>(size);
    while (left > 0) {
      if (!need(1)) return HttpReadResult::ChunkedInvalid;
      const std::size_t take = std::min(left, pending.size() - pos);
      if (!m_buffer.Append(pending.data() + pos, take)) return HttpReadResult::ChunkedInvalid;
      pos += take;
      left -= take;
      m_nBodyLength += take;
    }
    if (!expectCrLf()) return HttpReadResult::ChunkedInvalid;
  }

  // Trailer section: fields up to an empty line. They join the headers only
  // when the response announced them; a cut-off trailer loses no data but
  // leaves the connection unusable.
  const bool keepTrailer = m_headers.find("Trailer") != m_headers.end();
  for (;;) {
    std::size_t eol = pending.find("\r\n", pos);
    while (eol == std::string::npos) {
      pending.erase(0, pos);
      pos = 0;
      if (ReceiveInto(source, pending, block) != Received::Data) {
        m_bConnectionSpent = true;
        return HttpReadResult::Complete;
      }
      eol = pending.find("\r\n");
    }
    const std::string_view line(pending.data() + pos, eol - pos);
    pos = eol + 2;
    if (line.empty()) break;
    if (keepTrailer) AddHeaderField(line);
  }
  if (pos < pending.size()) m_bConnectionSpent = true;
  return HttpReadResult::Complete;
}

}  // namespace mes
