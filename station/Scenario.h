// A station scenario: the monitor's grid and, per test position, the units
// that pass through it with their test items, as read from a JSON file.
// Texts stay UTF-8 here; the station converts them for the module.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace station {

struct TestItem {
  std::string strName;
  std::string strResult;
  double dSeconds = 0;  // how long the item takes before its result is known
};

// How the unit's list is judged once its last item is in.
enum class Judge {
  ByRows,  // ViewResult with a judgement record (mode 1): the rows decide
  Pass,    // the host's own verdict PASS
  Fail,    // the host's own verdict FAIL
  None,    // no judgement (mode 2): the list stays undetermined
};

struct Unit {
  std::string strSerial;
  std::string strModel;
  std::string strRouteStep;
  std::string strStation;
  int nFixture = 0;
  std::string strComputer;
  std::string strOperator;   // the 7-character operator id
  std::string strStartTime;  // empty: the time the unit starts
  std::string strVersion;
  std::string strMac;  // the unit's MAC address; empty: none
  Judge judge = Judge::ByRows;
  std::vector<TestItem> items;
};

struct Position {
  int nListID = 0;  // 1-based, as the monitor numbers its lists
  std::vector<Unit> units;
};

struct Scenario {
  std::string strTitle;
  std::string strLine;
  int nRows = 1;
  int nCols = 1;
  int nWidth = 1200;
  int nHeight = 800;
  double dChangeover = 1.0;  // seconds between one unit's save and the next unit
  std::vector<Position> positions;
};

// One line that says what is wrong and where, ready to show the user.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads and checks the whole file before anything runs.
Scenario LoadScenario(const std::string& strPath);
// The same for a text already read; strName names it in messages.
Scenario ParseScenario(const std::string& strText, const std::string& strName);

}  // namespace station
