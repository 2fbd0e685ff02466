// The station's scenario reader: every mistake a user can make in a scenario
// gets one line naming the place, and a good scenario reads as written.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "station/ModuleTexts.h"
#include "station/Scenario.h"
#include "station/UnitOutcome.h"

namespace {

using station::ParseScenario;
using station::ScenarioError;

// A valid scenario with one unit; `unit` and `item` replace parts of it.
std::string Doc(const std::string& unitExtra = "",
                const std::string& item = R"({"name": "网络连接", "result": "PASS", "seconds": 0.5})",
                const std::string& top = "") {
  return R"({
  "title": "测试", "grid": {"rows": 1, "cols": 2}, )" +
         top + R"(
  "defaults": {"model": "NVR-1", "routeStep": "NVR_整机测试", "station": "ST1", "computer": "PC1", "operator": "1234567"},
  "positions": [{"position": 2, "units": [
    {"serial": "SN001", )" +
         unitExtra + R"("items": [)" + item + R"(]}
  ]}]
})";
}

std::string ErrorOf(const std::string& text) {
  try {
    ParseScenario(text, "s.json");
  } catch (const ScenarioError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(StationScenario, ReadsUnitsWithDefaultsAndOwnFields) {
  const station::Scenario s = ParseScenario(
      Doc(R"("model": "DVR-9", "fixture": 7, "mac": "00:11:22:33:44:55", "judge": "fail", "startTime": "2026-01-02 03:04:05", )"),
      "s.json");
  ASSERT_EQ(s.positions.size(), 1u);
  EXPECT_EQ(std::tuple(s.nRows, s.nCols, s.positions[0].nListID), std::tuple(1, 2, 2));
  const station::Unit& u = s.positions[0].units.at(0);
  // Its own model wins over the defaults' one; the route step comes from the defaults.
  EXPECT_EQ(std::tuple(u.strSerial, u.strModel, u.strRouteStep, u.nFixture, u.strMac, u.judge, u.strStartTime),
            std::tuple(std::string("SN001"), std::string("DVR-9"), std::string("NVR_整机测试"), 7,
                       std::string("00:11:22:33:44:55"), station::Judge::Fail, std::string("2026-01-02 03:04:05")));
  ASSERT_EQ(u.items.size(), 1u);
  EXPECT_EQ(std::tuple(u.items[0].strName, u.items[0].dSeconds), std::tuple(std::string("网络连接"), 0.5));
  // Without its own fixture a unit takes its position's number.
  EXPECT_EQ(ParseScenario(Doc(), "s.json").positions[0].units[0].nFixture, 2);
}

TEST(StationScenario, EveryMistakeNamesItsPlace) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> parts;  // all must be in the message
  };
  const std::string kItem = R"({"name": "a", "result": "PASS")", kGrid = R"({"grid": {"rows": 1, "cols": 2}, )";
  const std::vector<Case> cases = {
      {"malformed JSON", "{\n  \"title\": \"x\",\n  \"grid\": {\"rows\": 1,, }\n}", {"s.json:3:", "malformed JSON"}},
      {"not an object", "[1, 2]", {"s.json", "must be an object"}},
      {"unknown top field", Doc("", kItem + "}", R"("colour": 1,)"), {"unknown field 'colour'"}},
      {"unknown unit field", Doc(R"("serail": "x", )"), {"position 2, unit 1 (SN001)", "unknown field 'serail'"}},
      {"wrong type", Doc(R"("fixture": "7", )"), {"unit 1 (SN001)", "'fixture' must be a whole number, not a text"}},
      {"negative seconds", Doc("", kItem + R"(, "seconds": -1})"), {"item 1", "seconds"}},
      {"empty items", Doc("", ""), {"unit 1 (SN001)", "'items' is empty"}},
      {"missing grid", R"({"positions": []})", {"'grid' is missing"}},
      {"no positions", kGrid + R"("positions": []})", {"'positions' is empty"}},
      {"position outside the grid",
       kGrid + R"("positions": [{"position": 3, "units": []}]})",
       {"positions[0]", "'position' is 3"}},
      {"position twice",
       kGrid + R"("positions": [{"position": 1, "units": []}, {"position": 1, "units": []}]})",
       {"positions[1]", "given twice"}},
      {"bad judge", Doc(R"("judge": "maybe", )"), {"unit 1 (SN001)", "'judge' is 'maybe'"}},
      {"short operator", Doc(R"("operator": "12", )"), {"unit 1 (SN001)", "'operator' must be the 7-character"}},
      {"serial 0", Doc().replace(Doc().find("SN001"), 5, "0"), {"unit 1 (0)", "serial number"}},
      {"serial with a slash", Doc().replace(Doc().find("SN001"), 5, "SN/01"), {"cannot be part of a log file name"}},
      {"model no sheet can have", Doc(R"("model": "A[1]", )"), {"unit 1 (SN001)", "cannot name a workbook sheet"}},
      {"grid too large", R"({"grid": {"rows": 9, "cols": 1}, "positions": []})", {"grid", "'rows' is 9"}},
  };
  for (const Case& c : cases) {
    const std::string message = ErrorOf(c.text);
    for (const std::string& part : c.parts)
      EXPECT_NE(message.find(part), std::string::npos) << c.what << ": " << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << c.what << ": one line";
  }
}

// Texts reach the module as GBK (end to end); one that GBK cannot carry is named.
TEST(StationScenario, TextsGbkCannotCarryAreNamed) {
  station::Scenario s = ParseScenario(Doc(), "s.json");
  s.positions[0].units[0].items[0].strName = "emoji \xF0\x9F\x98\x80";
  try {
    station::PrepareModuleTexts(s, 1.0);
    FAIL();
  } catch (const ScenarioError& e) {
    EXPECT_NE(std::string(e.what()).find("unit 1 (SN001), item 1: field 'name'"), std::string::npos) << e.what();
  }
}

// Which units are reported is checked end to end; what the window shows for a
// unit the scenario judges by its rows is the station's own rule.
TEST(StationOutcome, VerdictsFollowTheModulesRules) {
  station::Unit unit;
  unit.judge = station::Judge::ByRows;
  unit.items = {{"v", "V1,", 0}};
  EXPECT_EQ(station::ShownVerdict(unit, 0), station::Verdict::Open);  // no row passed or failed
  unit.items.push_back({"c", "fail", 0});                             // lower case counts
  EXPECT_EQ(station::ShownVerdict(unit, 0), station::Verdict::Fail);
  EXPECT_EQ(station::ClassifyResult("FAIL then PASS"), station::ResultClass::Pass);  // as the monitor ranks them
}

}  // namespace
