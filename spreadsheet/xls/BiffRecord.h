#pragma once

// BIFF8 records: reading them out of a workbook stream (with the CONTINUE records
// that carry the rest of a long record), decoding their strings, writing them.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace xls {

namespace rec {
constexpr std::uint16_t kFormula = 0x0006, kEof = 0x000A, kContinue = 0x003C, kDateMode = 0x0022, kFilePass = 0x002F,
                        kFont = 0x0031, kCodePage = 0x0042, kDefColWidth = 0x0055, kWsBool = 0x0081,
                        kBoundSheet = 0x0085, kMulRk = 0x00BD, kMulBlank = 0x00BE, kRString = 0x00D6, kDbCell = 0x00D7,
                        kXf = 0x00E0, kMergeCells = 0x00E5, kSst = 0x00FC, kLabelSst = 0x00FD, kExtSst = 0x00FF,
                        kSupBook = 0x01AE, kDimensions = 0x0200, kBlank = 0x0201, kNumber = 0x0203, kLabel = 0x0204,
                        kBoolErr = 0x0205, kString = 0x0207, kRow = 0x0208, kIndex = 0x020B, kArray = 0x0221,
                        kDefaultRowHeight = 0x0225, kTable = 0x0236, kWindow2 = 0x023E, kRk = 0x027E, kStyle = 0x0293,
                        kFormat = 0x041E, kShrFmla = 0x04BC, kBof = 0x0809, kBof2 = 0x0009, kBof3 = 0x0209,
                        kBof4 = 0x0409, kWindow1 = 0x003D, kUncalced = 0x005E;
}  // namespace rec

constexpr std::size_t kMaxRecordData = 8224;

// The data of a record and of its CONTINUE records. Nearly every record has
// none, and records are read by the hundred thousand: the first parts are held
// without an allocation.
class RecordParts {
 public:
  using value_type = std::span<const std::uint8_t>;

  void push_back(value_type part) {
    if (m_count < kInline) {
      m_inline[m_count] = part;
    } else {
      if (m_count == kInline) m_more.assign(m_inline, m_inline + kInline);
      m_more.push_back(part);
    }
    ++m_count;
  }
  std::size_t size() const { return m_count; }
  bool empty() const { return m_count == 0; }
  const value_type* begin() const { return m_count <= kInline ? m_inline : m_more.data(); }
  const value_type* end() const { return begin() + m_count; }
  const value_type& operator[](std::size_t i) const { return begin()[i]; }

 private:
  static constexpr std::size_t kInline = 2;
  value_type m_inline[kInline];
  std::vector<value_type> m_more;
  std::size_t m_count = 0;
};

// One record as found in the stream, with the payloads of the CONTINUE records
// that follow it.
struct RecordGroup {
  std::uint16_t type = 0;
  std::size_t offset = 0;  // stream position of the first record's header
  std::size_t end = 0;     // stream position just after the last CONTINUE
  RecordParts parts;       // parts[0]: the record's own data

  std::span<const std::uint8_t> data() const { return parts[0]; }
};

// Reads the record group at `pos`; throws platform::Error when a header or a record runs
// past the end of the stream.
RecordGroup ReadRecordGroup(std::span<const std::uint8_t> stream, std::size_t pos);

// One record alone (a CONTINUE is a record of its own here): its type and
// where it ends, for walks over many records that need no data. Throws as
// ReadRecordGroup does.
struct RecordHeader {
  std::uint16_t type = 0;
  std::size_t end = 0;
};
RecordHeader ReadRecordHeader(std::span<const std::uint8_t> stream, std::size_t pos);

// Sequential reading across a record and its CONTINUE parts; running out of data
// throws platform::Error naming the record.
class ContinuedReader {
 public:
  ContinuedReader(const RecordGroup& group, const char* recordName);
  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  void Skip(std::size_t n);
  std::vector<std::uint8_t> Bytes(std::size_t n);
  // cch characters, 8- or 16-bit as the flags say; when the characters go on in
  // the next CONTINUE part, that part starts with a fresh flags byte.
  std::u16string Chars(std::size_t cch, bool highByte);
  bool AtEnd() const;

 private:
  void NextPart();
  [[noreturn]] void Truncated() const;
  const RecordGroup& m_group;
  const char* m_name;
  std::size_t m_part = 0;
  std::size_t m_pos = 0;
};

// Strings inside one record's data (no CONTINUE): XLUnicodeString (16-bit count)
// and ShortXLUnicodeString (8-bit count). `pos` advances past the string, rich-text
// runs and phonetic data included.
std::u16string ParseUnicodeString(std::span<const std::uint8_t> data, std::size_t& pos, bool shortCount,
                                  const char* recordName);

void AppendRecord(std::vector<std::uint8_t>& out, std::uint16_t type, std::span<const std::uint8_t> data);
// The string as an XLUnicodeString (or a ShortXLUnicodeString), 8-bit when every
// character fits.
void AppendUnicodeString(std::vector<std::uint8_t>& out, std::u16string_view text, bool shortCount);

}  // namespace xls
