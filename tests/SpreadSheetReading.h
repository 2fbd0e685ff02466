// Reading a CSpreadSheet's held rows back in tests.
#pragma once

#include <string>
#include <vector>

#include "spreadsheet/SpreadSheet.h"

// Row `n` as ReadRow gives it (which also makes it the current row).
inline std::vector<std::string> RowAt(CSpreadSheet& sheet, int n) {
  std::vector<std::string> row;
  return sheet.ReadRow(row, n) ? row : std::vector<std::string>{"(ReadRow refused: " + sheet.m_strLastError + ")"};
}

inline std::vector<std::string> Names(CSpreadSheet& sheet) {
  std::vector<std::string> names;
  sheet.GetFieldNames(names);
  return names;
}
