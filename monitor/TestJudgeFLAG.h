// The judgement record the host passes to CMonitorDialog::ViewResult.
// Only the first two fields are read by the module; the host may extend the
// record after them. Field order and types are part of the host interface.
#pragma once

#include <cstdint>

struct TestJudgeFLAG {
  // 0 = the unit failed; 1 = judge by the rows' pass flags;
  // 2 = no judgement (undetermined); anything else keeps the list's verdict.
  int32_t nJudgeMode = 1;
  // Bit 0: the verdict shown when judging by rows finds passes and no failure
  // (set = PASS, clear = FAIL). The other bits are ignored.
  uint32_t nPassFlag = 1;
};
