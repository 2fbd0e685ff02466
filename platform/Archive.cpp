#include "platform/Archive.h"

#include <algorithm>
#include <cstring>

#include "platform/TextCodec.h"

namespace platform {

CArchive::CArchive(CFile* file, Mode mode, int bufferSize)
    : m_file(file), m_mode(mode), m_buffer(bufferSize > 0 ? bufferSize : 4096) {
  if (m_file == nullptr || !m_file->IsOpen()) throw Error("archive on a file that is not open");
}

CArchive::~CArchive() {
  // A storing archive that was never closed still writes what it holds; an
  // error here cannot be reported from a destructor.
  if (IsStoring() && !m_closed) {
    try {
      Flush();
    } catch (...) {
    }
  }
}

void CArchive::Flush() {
  if (!IsStoring() || m_pos == 0) return;
  m_file->Write(m_buffer.data(), m_pos);
  m_pos = 0;
}

void CArchive::Close() {
  if (IsStoring()) {
    Flush();
    m_file->Flush();
  }
  m_closed = true;
}

void CArchive::WriteBytes(const void* data, std::size_t count) {
  if (!IsStoring()) throw Error("writing to an archive that is loading");
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (count > 0) {
    if (m_pos == m_buffer.size()) Flush();
    std::size_t n = std::min(count, m_buffer.size() - m_pos);
    std::memcpy(m_buffer.data() + m_pos, p, n);
    m_pos += n;
    p += n;
    count -= n;
  }
}

void CArchive::FillBuffer() {
  m_end = m_file->Read(m_buffer.data(), m_buffer.size());
  m_pos = 0;
  if (m_end == 0) throw Error("unexpected end of archive file");
}

void CArchive::ReadBytes(void* data, std::size_t count) {
  if (!IsLoading()) throw Error("reading from an archive that is storing");
  unsigned char* p = static_cast<unsigned char*>(data);
  while (count > 0) {
    if (m_pos == m_end) FillBuffer();
    std::size_t n = std::min(count, m_end - m_pos);
    std::memcpy(p, m_buffer.data() + m_pos, n);
    m_pos += n;
    p += n;
    count -= n;
  }
}

std::string CArchive::EncodeTextLength(std::size_t length) {
  std::string out;
  if (length < 0xFF) {
    out.push_back(static_cast<char>(length));
  } else if (length < 0xFFFE) {
    out = {'\xFF', static_cast<char>(length & 0xFF), static_cast<char>(length >> 8)};
  } else {
    out = {'\xFF', '\xFF', '\xFF'};
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
  }
  return out;
}

CArchive& CArchive::operator<<(const std::string& text) {
  if (text.size() > 0xFFFFFFFFu) throw Error("text too long for an archive");
  std::string prefix = EncodeTextLength(text.size());
  WriteBytes(prefix.data(), prefix.size());
  WriteBytes(text.data(), text.size());
  return *this;
}

CArchive& CArchive::operator<<(uint32_t value) {
  unsigned char b[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  WriteBytes(b, 4);
  return *this;
}

CArchive& CArchive::operator>>(uint32_t& value) {
  unsigned char b[4];
  ReadBytes(b, 4);
  value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return *this;
}

uint32_t CArchive::ReadLength(bool* utf16) {
  *utf16 = false;
  for (;;) {
    unsigned char b;
    ReadBytes(&b, 1);
    if (b < 0xFF) return b;
    unsigned char w[2];
    ReadBytes(w, 2);
    uint32_t word = w[0] | (w[1] << 8);
    if (word == 0xFFFE) {  // FF FE FF: a UTF-16 text follows, its length comes next
      if (*utf16) throw Error("malformed text length in archive");
      *utf16 = true;
      continue;
    }
    if (word < 0xFFFF) return word;
    uint32_t dword;
    *this >> dword;
    return dword;
  }
}

CArchive& CArchive::operator>>(std::string& text) {
  bool utf16 = false;
  uint32_t length = ReadLength(&utf16);
  const uint64_t bytes = utf16 ? uint64_t{length} * 2 : length;
  // Never trust a stored length beyond what the file can still hold.
  const uint64_t left = m_file->GetLength() - m_file->GetPosition() + (m_end - m_pos);
  if (bytes > left) throw Error("text length beyond the end of the archive file");
  std::string raw(static_cast<std::size_t>(bytes), '\0');
  ReadBytes(raw.data(), raw.size());
  if (!utf16) {
    text = std::move(raw);
  } else {
    std::u16string wide(length, u'\0');
    for (uint32_t i = 0; i < length; ++i) {
      wide[i] = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                      (static_cast<unsigned char>(raw[2 * i + 1]) << 8));
    }
    text = Utf16ToGbk(wide);
  }
  return *this;
}

}  // namespace platform
