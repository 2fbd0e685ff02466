// Drives the monitor window as a station's host does: every position runs
// its units side by side on the GUI thread, one timer per step (no blocking
// waits): items appear as they finish, the list is judged when its unit is
// done, and the unit is saved with SaveResult and SaveResult2EXL.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "station/ModuleTexts.h"
#include "station/Summary.h"
#include "station/UnitOutcome.h"

class CMonitorDialog;

namespace station {

struct UnitReport {
  int nListID = 0;
  const Unit* pUnit = nullptr;
  UnitOutcome outcome;
  int nDone = 0;   // units finished so far, this one included
  int nTotal = 0;  // units of the whole run
};

class StationRun {
 public:
  StationRun(CMonitorDialog& dialog, const ModulePlan& plan, std::function<void(const UnitReport&)> onUnit,
             std::function<void()> onFinished);

  void Start();  // call once the window's lists exist
  const std::vector<PositionTally>& Tallies() const { return m_tallies; }
  bool AnySaveFailed() const;

 private:
  struct Lane {
    const ModulePosition* pPosition = nullptr;
    std::size_t nUnit = 0;
    std::size_t nItem = 0;
  };
  void StartUnit(std::size_t lane);
  void NextItem(std::size_t lane);
  void FinishUnit(std::size_t lane);
  void After(int ms, std::function<void()> step);

  CMonitorDialog& m_dialog;
  const ModulePlan& m_plan;
  std::function<void(const UnitReport&)> m_onUnit;
  std::function<void()> m_onFinished;
  std::vector<Lane> m_lanes;
  std::vector<PositionTally> m_tallies;
  QObject m_timerOwner;  // its destruction cancels pending steps
  int m_nDone = 0;
  int m_nTotal = 0;
  std::size_t m_nLanesRunning = 0;
  bool m_bSaving = false;  // inside SaveResult / SaveResult2EXL
};

}  // namespace station
