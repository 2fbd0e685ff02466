// The end-of-run summary: one row per position and a total row.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace station {

struct PositionTally {
  int nListID = 0;
  int nUnits = 0;
  int nPass = 0;
  int nFail = 0;
  int nUploadsAccepted = 0;  // SaveResult reported the MES call as successful
  int nRowsExported = 0;     // SaveResult2EXL returned 1
  int nFailedSaves = 0;      // an expected upload or the export failed
};

// A column of the table: its header and how a tally fills it. New columns
// are one more entry in SummaryColumns().
struct SummaryColumn {
  std::string strHeader;
  std::function<int(const PositionTally&)> value;
};

const std::vector<SummaryColumn>& SummaryColumns();

// The table, totals in the last row, as plain text lines.
std::string FormatSummary(const std::vector<PositionTally>& tallies);

}  // namespace station
