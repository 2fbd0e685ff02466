#include "station/UnitOutcome.h"

#include <algorithm>

namespace station {

ResultClass ClassifyResult(const std::string& utf8Result) {
  std::string upper = utf8Result;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; });
  if (upper.find("PASS") != std::string::npos) return ResultClass::Pass;
  if (upper.find("FAIL") != std::string::npos) return ResultClass::Fail;
  return ResultClass::Neither;
}

namespace {

// Rows decide as the module's log does: the first failed row makes the unit
// FAIL; it passes with at least one passed row and none failed.
Verdict RowsVerdict(const Unit& unit) {
  bool anyPass = false;
  for (const TestItem& item : unit.items) {
    const ResultClass c = ClassifyResult(item.strResult);
    if (c == ResultClass::Fail) return Verdict::Fail;
    anyPass |= c == ResultClass::Pass;
  }
  return anyPass ? Verdict::Pass : Verdict::Open;
}

}  // namespace

Verdict ShownVerdict(const Unit& unit, int nViewResult) {
  switch (unit.judge) {
    case Judge::Pass:
      return Verdict::Pass;
    case Judge::Fail:
      return Verdict::Fail;
    case Judge::None:
      return Verdict::Open;
    case Judge::ByRows:
      break;
  }
  if (nViewResult == 1) return Verdict::Pass;
  return RowsVerdict(unit) == Verdict::Open ? Verdict::Open : Verdict::Fail;
}

int RecordJudge(Judge judge) {
  switch (judge) {
    case Judge::Fail:
      return 0;
    case Judge::None:
      return 2;
    default:
      return 1;
  }
}

bool UploadExpected(const Unit& unit) {
  if (unit.strRouteStep != "IPC_整机测试") return true;
  return RecordJudge(unit.judge) == 1 && RowsVerdict(unit) == Verdict::Pass;
}

}  // namespace station
