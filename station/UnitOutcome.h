// What the station expects of a unit before it is saved, and what happened.
#pragma once

#include <string>

#include "station/Scenario.h"

namespace station {

enum class Verdict { Pass, Fail, Open };

// A result text counts as passed when it holds PASS, else as failed when it
// holds FAIL (ASCII letters in any case), else as neither, as the monitor
// classifies rows.
enum class ResultClass { Pass, Fail, Neither };
ResultClass ClassifyResult(const std::string& utf8Result);

// The verdict the window shows after judging the unit as its scenario says;
// nViewResult is what the judging ViewResult call returned.
Verdict ShownVerdict(const Unit& unit, int nViewResult);

// Whether the module reports the unit to the MES: it leaves out cameras
// ("IPC_整机测试") whose log does not end in a passed result.
bool UploadExpected(const Unit& unit);

// The record's nJudge for the unit's judgement.
int RecordJudge(Judge judge);

struct UnitOutcome {
  Verdict verdict = Verdict::Open;
  bool bUploadExpected = true;
  bool bUploaded = false;
  bool bExported = false;
  bool SaveFailed() const { return (bUploadExpected && !bUploaded) || !bExported; }
};

}  // namespace station
