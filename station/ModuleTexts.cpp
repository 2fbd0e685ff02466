#include "station/ModuleTexts.h"

#include <cmath>

#include "station/GbkText.h"

namespace station {

namespace {

std::string Gbk(const std::string& utf8, const std::string& where, const char* field) {
  if (auto gbk = Utf8ToGbk(utf8)) return *gbk;
  throw ScenarioError(where + ": field '" + std::string(field) +
                      "' holds a character the module's GBK texts cannot carry: '" + utf8 + "'");
}

int Milliseconds(double seconds, double speed) {
  return static_cast<int>(std::lround(seconds * 1000.0 / speed));
}

}  // namespace

ModulePlan PrepareModuleTexts(const Scenario& scenario, double dSpeed) {
  ModulePlan plan;
  plan.strTitle = Gbk(scenario.strTitle, "scenario", "title");
  plan.strLine = Gbk(scenario.strLine, "scenario", "line");
  plan.nChangeoverMs = Milliseconds(scenario.dChangeover, dSpeed);
  for (const Position& position : scenario.positions) {
    ModulePosition mp;
    mp.nListID = position.nListID;
    for (std::size_t i = 0; i < position.units.size(); ++i) {
      const Unit& u = position.units[i];
      const std::string where =
          "position " + std::to_string(position.nListID) + ", unit " + std::to_string(i + 1) + " (" + u.strSerial + ")";
      ModuleUnit mu;
      mu.pUnit = &u;
      mu.strSerial = Gbk(u.strSerial, where, "serial");
      mu.strModel = Gbk(u.strModel, where, "model");
      mu.strRouteStep = Gbk(u.strRouteStep, where, "routeStep");
      mu.strStation = Gbk(u.strStation, where, "station");
      // The module reads the last 7 bytes as the operator id, the rest but
      // one separator as the computer name.
      mu.strComputerUser = Gbk(u.strComputer, where, "computer") + "_" + u.strOperator;
      mu.strStartTime = Gbk(u.strStartTime, where, "startTime");
      mu.strVersion = Gbk(u.strVersion, where, "version");
      mu.strMac = Gbk(u.strMac, where, "mac");
      for (std::size_t k = 0; k < u.items.size(); ++k) {
        const std::string itemWhere = where + ", item " + std::to_string(k + 1);
        mu.items.push_back({Gbk(u.items[k].strName, itemWhere, "name"), Gbk(u.items[k].strResult, itemWhere, "result"),
                            Milliseconds(u.items[k].dSeconds, dSpeed)});
      }
      mp.units.push_back(std::move(mu));
    }
    plan.positions.push_back(std::move(mp));
  }
  return plan;
}

}  // namespace station
