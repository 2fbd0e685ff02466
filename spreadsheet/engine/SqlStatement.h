// The statements the workbook engine runs, as parsed.
#pragma once

#include "spreadsheet/engine/TableRef.h"

#include <string>
#include <variant>
#include <vector>

namespace sqlengine {

// CREATE TABLE t (name type, ...): writes the column names as the first row.
struct CreateTable {
  TableRef table;
  std::vector<std::u16string> columns;
};

// DROP TABLE t: empties the cells of t; the worksheet stays.
struct DropTable {
  TableRef table;
};

// INSERT INTO t [(col, ...)] VALUES ('v', ...): a new row after the last used one.
struct Insert {
  TableRef table;
  bool hasColumnList = false;
  std::vector<std::u16string> columns;
  std::vector<std::u16string> values;
};

struct ColumnValue {
  std::u16string column;
  std::u16string value;
};

// UPDATE t SET col = 'v', ... [WHERE col = 'v' AND ...]
struct Update {
  TableRef table;
  std::vector<ColumnValue> assignments;
  std::vector<ColumnValue> conditions;  // all must hold; none: every row
};

// SELECT * FROM t
struct Select {
  TableRef table;
};

using Statement = std::variant<CreateTable, DropTable, Insert, Update, Select>;

// Throws platform::Error naming what was not understood and where.
Statement ParseStatement(const std::u16string& text);

}  // namespace sqlengine
