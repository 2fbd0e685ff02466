#include "spreadsheet/engine/TableRef.h"

#include "platform/TextCodec.h"
#include "platform/Error.h"
#include "spreadsheet/xls/Workbook.h"

namespace sqlengine {
namespace {

bool IsLetter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

char16_t Upper(char16_t c) {
  return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c;
}

// Parses "IV65536" from text[i]; advances i. Returns false when malformed.
bool ParseCell(const std::u16string& text, std::size_t& i, int& row, int& column) {
  long col = 0;
  std::size_t letters = 0;
  while (i < text.size() && IsLetter(text[i]) && letters < 4) {
    col = col * 26 + (Upper(text[i]) - u'A' + 1);
    ++i;
    ++letters;
  }
  if (letters == 0) return false;
  long r = 0;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i]) && digits < 8) {
    r = r * 10 + (text[i] - u'0');
    ++i;
    ++digits;
  }
  if (digits == 0) return false;
  column = int(col - 1);
  row = int(r - 1);
  return true;
}

// Sheet names cannot hold ':', so a suffix with one is meant as a range.
bool LooksLikeRange(const std::u16string& text) {
  if (text.find(u':') == std::u16string::npos) return false;
  for (char16_t c : text)
    if (!IsLetter(c) && !IsDigit(c) && c != u':') return false;
  return true;
}

}  // namespace

CellRange ParseCellRange(const std::u16string& text) {
  const std::string shown = platform::Utf16ToGbk(text);
  CellRange range;
  std::size_t i = 0;
  bool ok = ParseCell(text, i, range.firstRow, range.firstColumn) && i < text.size() && text[i] == u':';
  if (ok) {
    ++i;
    ok = ParseCell(text, i, range.lastRow, range.lastColumn) && i == text.size();
  }
  if (!ok) throw platform::Error("Malformed cell range '" + shown + "' (expected the form A1:IV65536)");
  if (range.firstRow < 0 || range.lastRow < 0 || range.firstRow >= xls::kMaxRows || range.lastRow >= xls::kMaxRows ||
      range.firstColumn >= xls::kMaxColumns || range.lastColumn >= xls::kMaxColumns)
    throw platform::Error("Cell range '" + shown +
                          "' lies outside the worksheet (at most 65,536 rows and 256 columns, A1:IV65536)");
  if (range.firstRow > range.lastRow || range.firstColumn > range.lastColumn)
    throw platform::Error("Cell range '" + shown + "' is reversed: its first cell must be above and left of its last");
  return range;
}

TableRef ParseTableRef(const std::u16string& text) {
  TableRef table;
  table.sheet = text;
  auto dollar = text.rfind(u'$');
  if (dollar != std::u16string::npos) {
    std::u16string suffix = text.substr(dollar + 1);
    if (suffix.empty()) {
      table.sheet = text.substr(0, dollar);
    } else if (LooksLikeRange(suffix)) {
      table.sheet = text.substr(0, dollar);
      table.range = ParseCellRange(suffix);
      const CellRange whole;
      table.wholeSheet = table.range.firstRow == 0 && table.range.firstColumn == 0 &&
                         table.range.lastRow == whole.lastRow && table.range.lastColumn == whole.lastColumn;
    }
  }
  if (table.sheet.empty())
    throw platform::Error("Missing sheet name in table name '" + platform::Utf16ToGbk(text) + "'");
  return table;
}

std::string Describe(const TableRef& table) {
  return "'" + platform::Utf16ToGbk(table.sheet) + "'";
}

}  // namespace sqlengine
