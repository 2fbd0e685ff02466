#include "spreadsheet/engine/FieldText.h"

#include <charconv>
#include <utility>

namespace sqlengine {

namespace {

// `dateText` gives the cell's text when it is a date-formatted number.
template <typename DateText>
std::u16string FromValue(xls::CellValue cell, const DateText& dateText) {
  switch (cell.kind) {
    case xls::CellKind::Empty:
      return {};
    case xls::CellKind::Text:
      return std::move(cell.text);
    case xls::CellKind::Boolean:
      return cell.boolean ? u"TRUE" : u"FALSE";
    case xls::CellKind::Error:
      return xls::ErrorText(cell.errorCode);
    case xls::CellKind::Number:
      break;
  }
  if (cell.isDate) return dateText();
  double value = cell.number == 0 ? 0.0 : cell.number;  // no "-0"
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  std::u16string text;
  for (const char* p = buf; p != end; ++p) text += char16_t(*p);
  return text;
}

}  // namespace

std::u16string FieldText(const xls::Worksheet& sheet, int row, int column) {
  return FromValue(sheet.Cell(row, column), [&] { return sheet.CellText(row, column); });
}

std::u16string FieldText(const xls::RowCells& cells, int column) {
  return FromValue(cells.Cell(column), [&] { return cells.CellText(column); });
}

}  // namespace sqlengine
