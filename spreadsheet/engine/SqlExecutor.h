// Runs parsed statements on a workbook held in memory, treating a worksheet
// (or a cell range of it) as a table whose first row holds the column names.
#pragma once

#include "spreadsheet/engine/SqlStatement.h"

#include <functional>
#include <string>
#include <vector>

namespace xls {
class Workbook;
}

namespace sqlengine {

struct ResultTable {
  std::vector<std::u16string> columns;
  std::vector<std::vector<std::u16string>> rows;
};

// Runs CREATE, DROP, INSERT or UPDATE. Every check is made before the first
// cell changes, so a statement refused with platform::Error leaves the workbook
// as it was. *pChanging (when given) turns true just before the first change:
// a failure after that means the change stopped part-way.
// Returns the number of rows written (CREATE and DROP: 0).
int ExecuteChange(xls::Workbook& book, const Statement& statement, bool* pChanging = nullptr);

// Runs SELECT * FROM t: the column names from the table's first row (an empty
// name cell is called F1, F2, ... after its position), then every row below it
// down to the last used one, each value as text.
ResultTable ExecuteSelect(const xls::Workbook& book, const Select& select);

// The same, handing the rows to `sink` one by one instead of holding them all
// (the values vector is reused from row to row); returns the column names.
using RowSink = std::function<void(const std::vector<std::u16string>& values)>;
std::vector<std::u16string> ExecuteSelect(const xls::Workbook& book, const Select& select, const RowSink& sink);

// The column names and the number of rows the SELECT returns, without reading
// a value: a caller that needs only the header and the size of a large sheet
// leaves its cells unread.
struct ResultShape {
  std::vector<std::u16string> columns;
  std::size_t rows = 0;
};
ResultShape ExecuteSelectShape(const xls::Workbook& book, const Select& select);

}  // namespace sqlengine
