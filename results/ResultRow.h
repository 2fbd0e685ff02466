// One test item row of a result list as the savers see it, and a list's
// panel state read together with its rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace results {

struct ResultRow {
  std::string strItem;    // column 1: the item name (GBK)
  std::string strResult;  // last column: the result text (GBK)
  int32_t nPassFlag = 0;  // item data: 1 pass, 0 fail, 2 neither
};

struct ResultListSnapshot {
  std::string strSerialNumber;
  int32_t nResult = 0;  // 0 FAIL, 1 PASS, 2 undetermined
  std::vector<ResultRow> rows;
};

}  // namespace results
