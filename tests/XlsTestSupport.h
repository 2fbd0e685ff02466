// Shared helpers of the workbook engine tests: fixture paths, UTF-8 texts, and
// a whole sheet as a table of texts.
#pragma once

#include <QString>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/CompoundFile.h"
#include "spreadsheet/xls/Workbook.h"
#include "tests/ScratchFolder.h"

inline std::string XlsFixture(const std::string& name) {
  return FixturePath("xls/" + name);
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::string bytes = ReadBytes(path);
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

inline std::string ToUtf8(std::u16string_view s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())).toStdString();
}

inline std::u16string FromUtf8(std::u8string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).toStdU16String();
}

inline std::vector<std::u16string> U16Row(std::initializer_list<const char8_t*> cells) {
  std::vector<std::u16string> out;
  for (auto c : cells) out.push_back(FromUtf8(c));
  return out;
}

using Table = std::vector<std::vector<std::string>>;

// The sheet's used range as UTF-8 texts (CellText).
inline Table SheetTexts(const xls::Worksheet& ws) {
  Table rows;
  for (int r = 0; r < ws.RowCount(); ++r) {
    std::vector<std::string> row;
    for (const auto& t : ws.RowTexts(r)) row.push_back(ToUtf8(t));
    rows.push_back(std::move(row));
  }
  return rows;
}

// Drops trailing empty cells and trailing empty rows, as readers differ there.
inline Table Trimmed(Table rows) {
  for (auto& r : rows)
    while (!r.empty() && r.back().empty()) r.pop_back();
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  return rows;
}

// Offsets of the records of `type` in a BIFF stream, from `from` on.
inline std::vector<std::size_t> RecordsOf(const std::vector<std::uint8_t>& s, std::uint16_t type,
                                          std::size_t from = 0) {
  std::vector<std::size_t> found;
  for (std::size_t at = from; at + 4 <= s.size(); at += 4 + xls::GetU16(&s[at + 2]))
    if (xls::GetU16(&s[at]) == type) found.push_back(at);
  return found;
}

// The Workbook stream of a saved file.
inline std::vector<std::uint8_t> StreamOf(const std::vector<std::uint8_t>& file) {
  return *xls::CompoundFile::Parse(file).FindStream(u"Workbook");
}

// Where the `n`th sheet's substream starts in a Workbook stream (its BOUNDSHEET).
inline std::size_t SheetStart(const std::vector<std::uint8_t>& s, std::size_t n = 0) {
  return xls::GetU32(&s[RecordsOf(s, 0x0085).at(n) + 4]);
}
