#include "station/StationRun.h"

#include <QTimer>
#include <ctime>

#include "monitor/MonitorDialog.h"
#include "station/LocalTime.h"

namespace station {

StationRun::StationRun(CMonitorDialog& dialog, const ModulePlan& plan, std::function<void(const UnitReport&)> onUnit,
                       std::function<void()> onFinished)
    : m_dialog(dialog), m_plan(plan), m_onUnit(std::move(onUnit)), m_onFinished(std::move(onFinished)) {
  for (const ModulePosition& p : plan.positions) {
    m_lanes.push_back({&p, 0, 0});
    PositionTally t;
    t.nListID = p.nListID;
    m_tallies.push_back(t);
    m_nTotal += static_cast<int>(p.units.size());
  }
}

bool StationRun::AnySaveFailed() const {
  for (const PositionTally& t : m_tallies)
    if (t.nFailedSaves) return true;
  return false;
}

void StationRun::After(int ms, std::function<void()> step) {
  QTimer::singleShot(ms < 0 ? 0 : ms, &m_timerOwner, [this, step = std::move(step)] {
    // A save can show the operator a modal message, whose loop runs our
    // timers: other positions wait until the save is over.
    if (m_bSaving) {
      After(50, step);
      return;
    }
    step();
  });
}

void StationRun::Start() {
  m_nLanesRunning = m_lanes.size();
  if (m_nTotal == 0 || m_lanes.empty()) {
    After(0, m_onFinished);
    return;
  }
  for (std::size_t i = 0; i < m_lanes.size(); ++i) After(0, [this, i] { StartUnit(i); });
}

void StationRun::StartUnit(std::size_t lane) {
  Lane& l = m_lanes[lane];
  if (l.nUnit >= l.pPosition->units.size()) {
    if (--m_nLanesRunning == 0) m_onFinished();
    return;
  }
  const ModuleUnit& unit = l.pPosition->units[l.nUnit];
  const int id = l.pPosition->nListID;
  m_dialog.DeleteAllItems(id);
  m_dialog.SetSerialNumber(id, unit.strSerial);
  m_dialog.SetType(id, unit.strModel);
  l.nItem = 0;
  After(unit.items.front().nMilliseconds, [this, lane] { NextItem(lane); });
}

void StationRun::NextItem(std::size_t lane) {
  Lane& l = m_lanes[lane];
  const ModuleUnit& unit = l.pPosition->units[l.nUnit];
  const int id = l.pPosition->nListID;
  const ModuleItem& item = unit.items[l.nItem];
  m_dialog.InsertItem(id, item.strName, item.strResult);
  if (l.nItem == 0) {
    // The list shows its idle picture while the unit is under test, instead
    // of the previous unit's verdict.
    TestJudgeFLAG undetermined{2, 1};
    m_dialog.ViewResult(id, &undetermined);
  }
  if (++l.nItem < unit.items.size()) {
    After(unit.items[l.nItem].nMilliseconds, [this, lane] { NextItem(lane); });
  } else {
    After(0, [this, lane] { FinishUnit(lane); });
  }
}

void StationRun::FinishUnit(std::size_t lane) {
  Lane& l = m_lanes[lane];
  const ModuleUnit& unit = l.pPosition->units[l.nUnit];
  const Unit& source = *unit.pUnit;
  const int id = l.pPosition->nListID;

  int viewed = 0;
  switch (source.judge) {
    case Judge::ByRows: {
      TestJudgeFLAG byRows{1, 1};
      viewed = m_dialog.ViewResult(id, &byRows);
      break;
    }
    case Judge::Pass:
      viewed = m_dialog.ViewResult(id, 1);
      break;
    case Judge::Fail:
      viewed = m_dialog.ViewResult(id, 0);
      break;
    case Judge::None: {
      TestJudgeFLAG none{2, 1};
      viewed = m_dialog.ViewResult(id, &none);
      break;
    }
  }

  ResultStructrue record;
  record.strLineNo = m_plan.strLine;
  record.strStation = unit.strStation;
  record.nFixtureNo = source.nFixture;
  record.strModel = unit.strModel;
  record.strVersion = unit.strVersion;
  record.strComputerUser = unit.strComputerUser;
  record.strStartTime = unit.strStartTime.empty() ? LocalTimeText("%Y-%m-%d %H:%M:%S") : unit.strStartTime;
  record.strRouteStepName = unit.strRouteStep;
  record.nJudge = RecordJudge(source.judge);
  if (!unit.strMac.empty()) record.mapMac[unit.strSerial] = unit.strMac;

  UnitOutcome outcome;
  outcome.verdict = ShownVerdict(source, viewed);
  outcome.bUploadExpected = UploadExpected(source);
  m_bSaving = true;
  outcome.bUploaded = m_dialog.SaveResult(id, &record) == 1;
  outcome.bExported = m_dialog.SaveResult2EXL(id, &record) == 1;
  m_bSaving = false;

  PositionTally& t = m_tallies[lane];
  ++t.nUnits;
  t.nPass += outcome.verdict == Verdict::Pass;
  t.nFail += outcome.verdict == Verdict::Fail;
  t.nUploadsAccepted += outcome.bUploaded;
  t.nRowsExported += outcome.bExported;
  t.nFailedSaves += outcome.SaveFailed();

  UnitReport report{id, &source, outcome, ++m_nDone, m_nTotal};
  m_onUnit(report);

  ++l.nUnit;
  const bool more = l.nUnit < l.pPosition->units.size();
  After(more ? m_plan.nChangeoverMs : 0, [this, lane] { StartUnit(lane); });
}

}  // namespace station
