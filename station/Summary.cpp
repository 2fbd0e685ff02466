#include "station/Summary.h"

#include <algorithm>
#include <cstdio>

namespace station {

const std::vector<SummaryColumn>& SummaryColumns() {
  static const std::vector<SummaryColumn> columns = {
      {"units", [](const PositionTally& t) { return t.nUnits; }},
      {"PASS", [](const PositionTally& t) { return t.nPass; }},
      {"FAIL", [](const PositionTally& t) { return t.nFail; }},
      {"uploads accepted", [](const PositionTally& t) { return t.nUploadsAccepted; }},
      {"rows exported", [](const PositionTally& t) { return t.nRowsExported; }},
      {"failed saves", [](const PositionTally& t) { return t.nFailedSaves; }},
  };
  return columns;
}

std::string FormatSummary(const std::vector<PositionTally>& tallies) {
  const auto& columns = SummaryColumns();
  std::vector<int> totals(columns.size(), 0);
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"position"});
  for (const auto& c : columns) rows.back().push_back(c.strHeader);
  for (const PositionTally& t : tallies) {
    rows.push_back({std::to_string(t.nListID)});
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const int v = columns[i].value(t);
      totals[i] += v;
      rows.back().push_back(std::to_string(v));
    }
  }
  rows.push_back({"all"});
  for (int v : totals) rows.back().push_back(std::to_string(v));

  std::vector<std::size_t> widths(rows.front().size(), 0);
  for (const auto& row : rows)
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  std::string out;
  auto rule = [&] {
    for (std::size_t i = 0; i < widths.size(); ++i) out += (i ? "-+-" : "") + std::string(widths[i], '-');
    out += '\n';
  };
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r == rows.size() - 1) rule();
    for (std::size_t i = 0; i < rows[r].size(); ++i) {
      const std::string& cell = rows[r][i];
      const std::string pad(widths[i] - cell.size(), ' ');
      out += (i ? " | " : "") + (i ? pad + cell : cell + pad);  // numbers right-aligned
    }
    out += '\n';
    if (r == 0) rule();
  }
  return out;
}

}  // namespace station
