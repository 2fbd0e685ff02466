// A scenario's texts as the module takes them: GBK, converted once before
// the run so that a text GBK cannot carry is reported before any unit runs.
#pragma once

#include <string>
#include <vector>

#include "station/Scenario.h"

namespace station {

struct ModuleItem {
  std::string strName;    // GBK
  std::string strResult;  // GBK
  int nMilliseconds = 0;  // at the chosen speed
};

struct ModuleUnit {
  const Unit* pUnit = nullptr;  // the UTF-8 original, for reports
  std::string strSerial, strModel, strRouteStep, strStation, strComputerUser, strStartTime, strVersion, strMac;
  std::vector<ModuleItem> items;
};

struct ModulePosition {
  int nListID = 0;
  std::vector<ModuleUnit> units;
};

struct ModulePlan {
  std::string strTitle, strLine;
  int nChangeoverMs = 0;
  std::vector<ModulePosition> positions;
};

// Throws ScenarioError naming the unit and field whose text GBK cannot carry.
ModulePlan PrepareModuleTexts(const Scenario& scenario, double dSpeed);

}  // namespace station
