// The table a statement names: a worksheet, optionally narrowed to a cell
// range, written "Sheet", "Sheet$" or "Sheet$A1:IV65536".
#pragma once

#include <string>

namespace sqlengine {

// Rows and columns 0-based and inclusive; the whole sheet by default.
struct CellRange {
  int firstRow = 0;
  int firstColumn = 0;
  int lastRow = 65535;
  int lastColumn = 255;
};

struct TableRef {
  std::u16string sheet;
  CellRange range;
  bool wholeSheet = true;  // no range given, or the range covers the sheet
};

// Throws platform::Error for an empty sheet name or a malformed range or one beyond
// the worksheet's 256 columns and 65,536 rows.
TableRef ParseTableRef(const std::u16string& text);

// "A1:IV65536" (case-insensitive); throws platform::Error when malformed.
CellRange ParseCellRange(const std::u16string& text);

// The sheet name and range as GBK text for messages.
std::string Describe(const TableRef& table);

}  // namespace sqlengine
