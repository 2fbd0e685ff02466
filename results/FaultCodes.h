// The product families' check tables: which test items a unit must show in
// its log text, and the fault codes reported to the MES for those it lacks.
#pragma once

#include <string>

namespace results {

struct FamilyOutcome {
  bool bUpload;            // false: the unit is not reported (a camera that did not pass)
  std::string strBugType;  // the fault codes sent as BugType
};

// strRouteStepName picks the family by exact comparison with "NVR_整机测试",
// "DVR_整机测试" or "IPC_整机测试"; other route steps have no checks and an
// empty BugType. Each failed check adds its code followed by ";", in table
// order; recorders whose log holds "Result     = PASS" and cameras whose
// result text is "PASS" get "D0000;".
FamilyOutcome ApplyFamilyRules(const std::string& strRouteStepName, const std::string& strLogText,
                               const std::string& strResultText);

}  // namespace results
