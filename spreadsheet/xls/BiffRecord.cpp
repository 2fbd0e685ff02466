#include "spreadsheet/xls/BiffRecord.h"

#include <algorithm>
#include <cstdio>

#include "spreadsheet/xls/BiffBytes.h"
#include "platform/Error.h"

namespace xls {

namespace {
[[noreturn]] void TruncatedRecord(std::span<const std::uint8_t> stream, std::size_t at) {
  if (at + 4 > stream.size())
    throw platform::Error("truncated workbook stream: record header at offset " + std::to_string(at) +
                          " runs past the end of the stream (" + std::to_string(stream.size()) + " bytes)");
  char b[8];
  std::snprintf(b, sizeof b, "%04X", GetU16(&stream[at]));
  throw platform::Error(std::string("truncated workbook stream: record 0x") + b + " at offset " + std::to_string(at) +
                        " needs " + std::to_string(GetU16(&stream[at + 2])) + " bytes, the stream ends after " +
                        std::to_string(stream.size() - at - 4));
}
}  // namespace

RecordHeader ReadRecordHeader(std::span<const std::uint8_t> stream, std::size_t pos) {
  if (pos + 4 > stream.size() || pos + 4 + GetU16(&stream[pos + 2]) > stream.size()) TruncatedRecord(stream, pos);
  return {GetU16(&stream[pos]), pos + 4 + GetU16(&stream[pos + 2])};
}

RecordGroup ReadRecordGroup(std::span<const std::uint8_t> stream, std::size_t pos) {
  auto readOne = [&](std::size_t at, std::uint16_t& type, std::span<const std::uint8_t>& data) {
    RecordHeader h = ReadRecordHeader(stream, at);
    type = h.type;
    data = stream.subspan(at + 4, h.end - at - 4);
    return h.end;
  };
  RecordGroup g;
  g.offset = pos;
  std::span<const std::uint8_t> data;
  std::size_t next = readOne(pos, g.type, data);
  g.parts.push_back(data);
  while (next + 4 <= stream.size() && GetU16(&stream[next]) == rec::kContinue) {
    std::uint16_t t;
    next = readOne(next, t, data);
    g.parts.push_back(data);
  }
  g.end = next;
  return g;
}

ContinuedReader::ContinuedReader(const RecordGroup& group, const char* recordName)
    : m_group(group), m_name(recordName) {}

void ContinuedReader::Truncated() const {
  throw platform::Error(std::string("damaged workbook: ") + m_name + " record at offset " +
                        std::to_string(m_group.offset) + " ends in the middle of its data");
}

void ContinuedReader::NextPart() {
  // Skips empty parts; running out of parts is a truncated record.
  while (m_pos >= m_group.parts[m_part].size()) {
    if (m_part + 1 >= m_group.parts.size()) Truncated();
    ++m_part;
    m_pos = 0;
  }
}

bool ContinuedReader::AtEnd() const {
  for (std::size_t p = m_part; p < m_group.parts.size(); ++p)
    if ((p == m_part ? m_pos : 0) < m_group.parts[p].size()) return false;
  return true;
}

std::uint8_t ContinuedReader::U8() {
  NextPart();
  return m_group.parts[m_part][m_pos++];
}
std::uint16_t ContinuedReader::U16() {
  std::uint16_t lo = U8();
  return static_cast<std::uint16_t>(lo | (U8() << 8));
}
std::uint32_t ContinuedReader::U32() {
  std::uint32_t lo = U16();
  return lo | (static_cast<std::uint32_t>(U16()) << 16);
}

void ContinuedReader::Skip(std::size_t n) {
  while (n > 0) {
    NextPart();
    std::size_t take = std::min(n, m_group.parts[m_part].size() - m_pos);
    m_pos += take;
    n -= take;
  }
}

std::vector<std::uint8_t> ContinuedReader::Bytes(std::size_t n) {
  std::vector<std::uint8_t> out;
  out.reserve(std::min<std::size_t>(n, 1 << 20));
  while (n > 0) {
    NextPart();
    std::size_t take = std::min(n, m_group.parts[m_part].size() - m_pos);
    auto p = m_group.parts[m_part].subspan(m_pos, take);
    out.insert(out.end(), p.begin(), p.end());
    m_pos += take;
    n -= take;
  }
  return out;
}

std::u16string ContinuedReader::Chars(std::size_t cch, bool highByte) {
  std::u16string out;
  out.reserve(cch);
  while (out.size() < cch) {
    if (m_pos >= m_group.parts[m_part].size()) {
      if (m_part + 1 >= m_group.parts.size()) Truncated();
      ++m_part;
      m_pos = 0;
      // The continued characters carry their own width.
      if (m_group.parts[m_part].empty()) Truncated();
      highByte = m_group.parts[m_part][m_pos++] & 1;
      continue;
    }
    auto part = m_group.parts[m_part];
    std::size_t want = cch - out.size();
    if (highByte) {
      std::size_t avail = (part.size() - m_pos) / 2;
      if (avail == 0) Truncated();
      std::size_t take = std::min(want, avail);
      for (std::size_t i = 0; i < take; ++i) out += static_cast<char16_t>(GetU16(&part[m_pos + 2 * i]));
      m_pos += 2 * take;
    } else {
      std::size_t take = std::min(want, part.size() - m_pos);
      for (std::size_t i = 0; i < take; ++i) out += static_cast<char16_t>(part[m_pos + i]);
      m_pos += take;
    }
  }
  return out;
}

std::u16string ParseUnicodeString(std::span<const std::uint8_t> data, std::size_t& pos, bool shortCount,
                                  const char* recordName) {
  auto need = [&](std::size_t n) {
    if (pos + n > data.size())
      throw platform::Error(std::string("damaged workbook: string in a ") + recordName + " record runs past its end");
  };
  std::size_t cch;
  if (shortCount) {
    need(1);
    cch = data[pos++];
  } else {
    need(2);
    cch = GetU16(&data[pos]);
    pos += 2;
  }
  need(1);
  std::uint8_t flags = data[pos++];
  std::size_t runs = 0, ext = 0;
  if (flags & 0x08) {
    need(2);
    runs = GetU16(&data[pos]);
    pos += 2;
  }
  if (flags & 0x04) {
    need(4);
    ext = GetU32(&data[pos]);
    pos += 4;
  }
  std::u16string s;
  s.reserve(cch);
  if (flags & 0x01) {
    need(2 * cch);
    for (std::size_t i = 0; i < cch; ++i) s += static_cast<char16_t>(GetU16(&data[pos + 2 * i]));
    pos += 2 * cch;
  } else {
    need(cch);
    for (std::size_t i = 0; i < cch; ++i) s += static_cast<char16_t>(data[pos + i]);
    pos += cch;
  }
  need(4 * runs);
  pos += 4 * runs;
  need(ext);
  pos += ext;
  return s;
}

void AppendRecord(std::vector<std::uint8_t>& out, std::uint16_t type, std::span<const std::uint8_t> data) {
  AppendU16(out, type);
  AppendU16(out, static_cast<std::uint16_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
}

void AppendUnicodeString(std::vector<std::uint8_t>& out, std::u16string_view text, bool shortCount) {
  bool wide = false;
  for (char16_t c : text) wide = wide || c > 0xFF;
  if (shortCount)
    AppendU8(out, static_cast<std::uint8_t>(text.size()));
  else
    AppendU16(out, static_cast<std::uint16_t>(text.size()));
  AppendU8(out, wide ? 1 : 0);
  for (char16_t c : text) {
    if (wide)
      AppendU16(out, c);
    else
      AppendU8(out, static_cast<std::uint8_t>(c));
  }
}

}  // namespace xls
