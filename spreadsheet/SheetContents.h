// What CSpreadSheet holds of its sheet in memory, shared with the storage that
// loads and commits it. Rows are row texts (see RowText.h), the header first.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "spreadsheet/RowText.h"

namespace spreadsheet {

inline int16_t ClampColumns(std::size_t n) {
  return static_cast<int16_t>(std::min<std::size_t>(n, INT16_MAX));
}

struct SheetContents {
  std::string RowText(const std::vector<std::string>& values) const { return BuildRowText(values, m_strSeparator); }
  std::vector<std::string> Split(const std::string& rowText) const { return SplitRowText(rowText, m_strSeparator); }
  void WidenTo(std::size_t columns) {
    int16_t n = ClampColumns(columns);
    if (n > m_nTotalColumns) m_nTotalColumns = n;
  }

  bool m_bExisting = false;
  int32_t m_nCurrentRow = 1;
  int32_t m_nTotalRows = 0;
  int16_t m_nTotalColumns = 0;
  std::string m_strSeparator;
  std::vector<std::string> m_aFieldNames;
  std::vector<std::string> m_aRows;
};

}  // namespace spreadsheet
