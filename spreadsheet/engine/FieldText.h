// A cell's value as a result set hands it out.
#pragma once

#include "spreadsheet/xls/Workbook.h"

#include <string>

namespace sqlengine {

// Text as stored; a number as the shortest decimal that reads back as the same
// double ("3", "0.1", "0.30000000000000004", "1e+20"), or as its date/time
// text when the cell is formatted as a date; booleans "TRUE"/"FALSE"; errors
// as their code ("#DIV/0!"); an empty cell (or a formula without a stored
// result) as empty text.
std::u16string FieldText(const xls::Worksheet& sheet, int row, int column);
// The same for a cell of a row that Worksheet::ForEachRow hands out.
std::u16string FieldText(const xls::RowCells& cells, int column);

}  // namespace sqlengine
