#include "results/ResultVerdict.h"

namespace results {

VerdictDecision DecideVerdict(int32_t nCurrent, int32_t nJudge, const std::vector<ResultRow>& rows) {
  VerdictDecision d{nCurrent, std::string()};
  for (const ResultRow& row : rows) {
    const int32_t nFlag = row.nPassFlag;
    if (nJudge == 1 && nFlag == 1) {
      d.nResult = 1;
      d.strResultText = "PASS";
    } else if (nJudge == 0 || (nFlag == 0 && nJudge == 1)) {
      d.nResult = 0;
      d.strResultText = "FAIL";
      break;
    } else if (nJudge == 2) {
      d.nResult = 2;
      d.strResultText = "FAIL";
      break;
    }
  }
  return d;
}

const char* ResultLineValue(int32_t nResult, int32_t nJudge) {
  switch (nResult) {
    case 0:
      return "FAIL";
    case 1:
      return nJudge == 1 ? "PASS" : "FAIL";
    default:
      return "NULL";  // 2, and any value nobody should have set
  }
}

}  // namespace results
