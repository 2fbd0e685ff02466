// The list's verdict from the host's judgement and the rows' pass flags.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results/ResultRow.h"

namespace results {

struct VerdictDecision {
  int32_t nResult;            // the list's new m_nResult
  std::string strResultText;  // "PASS", "FAIL", or "" when no row decided anything
};

// Rows are visited in order: judge 1 with flag 1 sets PASS and goes on; judge 0,
// or flag 0 under judge 1, sets FAIL and stops; judge 2 sets undetermined (and
// the result text FAIL) and stops; anything else leaves the verdict alone.
// nCurrent is kept when no row decides.
VerdictDecision DecideVerdict(int32_t nCurrent, int32_t nJudge, const std::vector<ResultRow>& rows);

// Value of the log's "Result" line: "PASS" only for verdict 1 under judge 1,
// "NULL" for an undetermined verdict, "FAIL" otherwise.
const char* ResultLineValue(int32_t nResult, int32_t nJudge);

}  // namespace results
