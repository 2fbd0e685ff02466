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

// UTF-8 literals (char8_t in C++20) as std::string texts.
inline std::vector<std::string> U8Row(std::initializer_list<std::u8string_view> cells) {
  std::vector<std::string> out;
  for (auto c : cells) out.emplace_back(c.begin(), c.end());
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

// The workbook stream with the row index Excel writes added to the sheet that
// starts at `sheetStart`: an INDEX record after its BOF and a DBCELL after
// each block of rows (its ROW records, then its cells). Sheets after it move
// by what was added; their BOUNDSHEET positions follow.
inline std::vector<std::uint8_t> WithRowIndex(const std::vector<std::uint8_t>& s, std::size_t sheetStart) {
  using xls::GetU16;
  using xls::GetU32;
  using xls::PutU32;
  auto isCell = [](std::uint16_t t) {
    return t == 0x0201 || t == 0x0203 || t == 0x027E || t == 0x00BD || t == 0x00BE || t == 0x00FD || t == 0x0204 ||
           t == 0x0205 || t == 0x0006 || t == 0x0207;
  };
  std::size_t sheetEnd = sheetStart;
  for (int depth = 0; sheetEnd + 4 <= s.size();) {
    std::uint16_t t = GetU16(&s[sheetEnd]);
    sheetEnd += 4 + GetU16(&s[sheetEnd + 2]);
    if (t == 0x0809) ++depth;
    if (t == 0x000A && --depth == 0) break;
  }
  std::size_t blocks = 0, rows = 0;
  std::uint32_t firstRow = 0xFFFFFFFF, lastRow = 0;
  for (std::size_t at = sheetStart, prev = 0; at < sheetEnd; at += 4 + GetU16(&s[at + 2])) {
    std::uint16_t t = GetU16(&s[at]);
    if (t == 0x0208) {
      if (prev != 0x0208) ++blocks;
      ++rows;
      firstRow = std::min<std::uint32_t>(firstRow, GetU16(&s[at + 4]));
      lastRow = std::max<std::uint32_t>(lastRow, GetU16(&s[at + 4]) + 1u);
    }
    prev = t;
  }
  const std::size_t bofEnd = sheetStart + 4 + GetU16(&s[sheetStart + 2]);
  const std::size_t indexLen = 16 + 4 * blocks;
  std::vector<std::uint8_t> sheet(s.begin() + sheetStart, s.begin() + bofEnd);
  const std::size_t indexAt = sheet.size();
  sheet.resize(sheet.size() + 4 + indexLen, 0);
  xls::PutU16(&sheet[indexAt], 0x020B);
  xls::PutU16(&sheet[indexAt + 2], static_cast<std::uint16_t>(indexLen));
  PutU32(&sheet[indexAt + 8], firstRow == 0xFFFFFFFF ? 0 : firstRow);
  PutU32(&sheet[indexAt + 12], lastRow);
  std::vector<std::size_t> dbCells;
  std::size_t blockRows = 0, firstRowAt = 0;
  std::vector<std::size_t> firstCells;
  bool inCells = false;
  auto closeBlock = [&] {
    if (!blockRows) return;
    std::vector<std::uint8_t> data;
    xls::AppendU32(data, static_cast<std::uint32_t>(sheet.size() - firstRowAt));
    std::size_t previous = firstRowAt + 20;
    for (std::size_t cell : firstCells) {
      xls::AppendU16(data, static_cast<std::uint16_t>(cell ? cell - previous : 0));
      if (cell) previous = cell;
    }
    dbCells.push_back(sheet.size());
    xls::AppendU16(sheet, 0x00D7);
    xls::AppendU16(sheet, static_cast<std::uint16_t>(data.size()));
    sheet.insert(sheet.end(), data.begin(), data.end());
    blockRows = 0;
    firstCells.clear();
    inCells = false;
  };
  int lastCellRow = -1;
  for (std::size_t at = bofEnd; at < sheetEnd; at += 4 + GetU16(&s[at + 2])) {
    std::uint16_t t = GetU16(&s[at]);
    if (t == 0x0208 && inCells) closeBlock();
    if (t == 0x0208) {
      if (!blockRows) firstRowAt = sheet.size();
      ++blockRows;
      firstCells.push_back(0);
    } else if (isCell(t) && blockRows) {
      int row = GetU16(&s[at + 4]);
      if (!inCells || row != lastCellRow) {
        // The first cell of the next row in the block that has cells.
        for (std::size_t k = 0; k < firstCells.size(); ++k)
          if (firstCells[k] == 0) {
            firstCells[k] = sheet.size();
            break;
          }
      }
      inCells = true;
      lastCellRow = row;
    } else if (blockRows) {
      closeBlock();
    }
    sheet.insert(sheet.end(), s.begin() + at, s.begin() + at + 4 + GetU16(&s[at + 2]));
  }
  for (std::size_t k = 0; k < dbCells.size(); ++k)
    PutU32(&sheet[indexAt + 4 + 16 + 4 * k], static_cast<std::uint32_t>(sheetStart + dbCells[k]));
  std::vector<std::uint8_t> out(s.begin(), s.begin() + sheetStart);
  out.insert(out.end(), sheet.begin(), sheet.end());
  out.insert(out.end(), s.begin() + sheetEnd, s.end());
  const std::size_t grown = sheet.size() - (sheetEnd - sheetStart);
  for (std::size_t at = 0; at + 4 <= out.size() && GetU16(&out[at]) != 0x000A; at += 4 + GetU16(&out[at + 2]))
    if (GetU16(&out[at]) == 0x0085 && GetU32(&out[at + 4]) > sheetStart)
      PutU32(&out[at + 4], static_cast<std::uint32_t>(GetU32(&out[at + 4]) + grown));
  return out;
}

// Checks a sheet's row index: every DBCELL position of its INDEX holds a
// DBCELL whose first field leads back to a ROW record. Returns the number
// of DBCELLs (-1 when the sheet has no INDEX).
inline int CheckedRowIndex(const std::vector<std::uint8_t>& s, std::size_t sheetStart) {
  using xls::GetU16;
  using xls::GetU32;
  std::size_t at = sheetStart + 4 + GetU16(&s[sheetStart + 2]);
  if (GetU16(&s[at]) != 0x020B) return -1;
  std::size_t len = GetU16(&s[at + 2]);
  int count = 0;
  for (std::size_t k = 16; k + 4 <= len; k += 4, ++count) {
    std::size_t db = GetU32(&s[at + 4 + k]);
    if (db + 8 > s.size() || GetU16(&s[db]) != 0x00D7) return -2;
    std::size_t row = db - GetU32(&s[db + 4]);
    if (GetU16(&s[row]) != 0x0208) return -3;
  }
  return count;
}
