#include "station/Scenario.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

namespace station {

namespace {

using nlohmann::json;

const char* TypeName(const json& v) {
  if (v.is_string()) return "a text";
  if (v.is_boolean()) return "true/false";
  if (v.is_number_integer() || v.is_number_unsigned()) return "a whole number";
  if (v.is_number()) return "a number";
  if (v.is_array()) return "a list";
  if (v.is_object()) return "an object";
  return "null";
}

std::string JoinNames(std::initializer_list<const char*> names) {
  std::string s;
  for (const char* n : names) s += (s.empty() ? "" : ", ") + std::string(n);
  return s;
}

// One JSON object of the scenario, read field by field with its place in the
// file named in every message.
class Fields {
 public:
  Fields(const json& object, std::string where, std::initializer_list<const char*> allowed)
      : m_object(object), m_where(std::move(where)) {
    if (!object.is_object()) Fail(std::string("must be an object {...}, not ") + TypeName(object));
    const std::set<std::string> known(allowed.begin(), allowed.end());
    for (const auto& [key, value] : object.items()) {
      if (!known.count(key)) Fail("unknown field '" + key + "' (known fields: " + JoinNames(allowed) + ")");
    }
  }

  [[noreturn]] void Fail(const std::string& what) const { throw ScenarioError(m_where + ": " + what); }
  const std::string& Where() const { return m_where; }
  bool Has(const char* key) const { return m_object.contains(key); }
  const json& At(const char* key) const { return m_object.at(key); }

  void WrongType(const char* key, const char* wanted) const {
    Fail(std::string("field '") + key + "' must be " + wanted + ", not " + TypeName(At(key)));
  }

  std::string Text(const char* key, const std::string& fallback, bool required = false) const {
    if (!Has(key)) {
      if (required) Fail(std::string("field '") + key + "' is missing");
      return fallback;
    }
    if (!At(key).is_string()) WrongType(key, "a text");
    return At(key).get<std::string>();
  }

  int Whole(const char* key, int fallback, int low, int high) const {
    if (!Has(key)) return fallback;
    const json& v = At(key);
    if (!v.is_number_integer() && !v.is_number_unsigned()) WrongType(key, "a whole number");
    const long long n = v.get<long long>();
    if (n < low || n > high)
      Fail(std::string("field '") + key + "' is " + std::to_string(n) + ": give " + std::to_string(low) + " to " +
           std::to_string(high));
    return static_cast<int>(n);
  }

  double Seconds(const char* key, double fallback) const {
    if (!Has(key)) return fallback;
    const json& v = At(key);
    if (!v.is_number()) WrongType(key, "a number of seconds");
    const double d = v.get<double>();
    if (!std::isfinite(d) || d < 0 || d > 86400) Fail(std::string("field '") + key + "' must be 0 to 86400 seconds");
    return d;
  }

  const json& List(const char* key, bool required) const {
    static const json empty = json::array();
    if (!Has(key)) {
      if (required) Fail(std::string("field '") + key + "' is missing");
      return empty;
    }
    if (!At(key).is_array()) WrongType(key, "a list [...]");
    return At(key);
  }

 private:
  const json& m_object;
  std::string m_where;
};

std::size_t CodePoints(const std::string& utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

// The module names the result log after the serial number and reports a
// unit only when it is set.
void CheckSerial(const Fields& f, const std::string& serial) {
  if (serial.empty() || serial == "0") f.Fail("field 'serial' must be a serial number (not empty, not \"0\")");
  if (serial.find("..") != std::string::npos || serial.find_first_of(std::string("/\\\0", 3)) != std::string::npos ||
      std::any_of(serial.begin(), serial.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
    f.Fail("serial '" + serial + "' cannot be part of a log file name: leave out / \\ .. and control characters");
}

// The model names the unit's sheet in PCB.xls.
void CheckModel(const Fields& f, const std::string& model) {
  if (model.empty() || CodePoints(model) > 31 || model.find_first_of(":\\/?*[]") != std::string::npos ||
      model.front() == '\'' || model.back() == '\'')
    f.Fail("model '" + model + "' cannot name a workbook sheet: use 1 to 31 characters without : \\ / ? * [ ]");
}

const std::initializer_list<const char*> kUnitFields = {"serial",  "model",    "routeStep", "station",
                                                        "fixture", "computer", "operator",  "startTime",
                                                        "version", "mac",      "judge",     "items"};

// Reads the unit fields that `defaults` may also give; `base` holds the
// defaults (or nothing, when reading the defaults themselves).
void ReadUnitFields(const Fields& f, Unit& u) {
  u.strModel = f.Text("model", u.strModel);
  u.strRouteStep = f.Text("routeStep", u.strRouteStep);
  u.strStation = f.Text("station", u.strStation);
  u.nFixture = f.Whole("fixture", u.nFixture, 0, 1000000);
  u.strComputer = f.Text("computer", u.strComputer);
  u.strOperator = f.Text("operator", u.strOperator);
  u.strStartTime = f.Text("startTime", u.strStartTime);
  u.strVersion = f.Text("version", u.strVersion);
  if (f.Has("judge")) {
    const std::string j = f.Text("judge", "");
    if (j == "rows")
      u.judge = Judge::ByRows;
    else if (j == "pass")
      u.judge = Judge::Pass;
    else if (j == "fail")
      u.judge = Judge::Fail;
    else if (j == "none")
      u.judge = Judge::None;
    else
      f.Fail("field 'judge' is '" + j + "': give rows, pass, fail or none");
  }
  u.strMac = f.Text("mac", u.strMac);
}

Unit ReadUnit(const json& j, const Unit& defaults, const std::string& where) {
  // The serial number names the unit in every later message, so it is
  // taken before anything else is checked.
  const bool serialGiven = j.is_object() && j.contains("serial") && j.at("serial").is_string();
  Fields f(j, serialGiven ? where + " (" + j.at("serial").get<std::string>() + ")" : where, kUnitFields);
  Unit u = defaults;
  u.strSerial = f.Text("serial", "", true);
  const Fields& named = f;
  CheckSerial(named, u.strSerial);
  u.nFixture = defaults.nFixture;
  ReadUnitFields(named, u);
  if (u.strModel.empty()) named.Fail("field 'model' is missing (give it here or in 'defaults')");
  CheckModel(named, u.strModel);
  if (u.strRouteStep.empty()) named.Fail("field 'routeStep' is missing (give it here or in 'defaults')");
  if (u.strStation.empty()) named.Fail("field 'station' is missing (give it here or in 'defaults')");
  if (u.strOperator.size() != 7 ||
      std::any_of(u.strOperator.begin(), u.strOperator.end(), [](char c) { return c <= ' ' || c > '~'; }))
    named.Fail("field 'operator' must be the 7-character operator id (letters and digits), not '" + u.strOperator +
               "'");
  const json& items = named.List("items", true);
  if (items.empty()) named.Fail("field 'items' is empty: a unit needs at least one test item");
  for (std::size_t i = 0; i < items.size(); ++i) {
    Fields item(items[i], named.Where() + ", item " + std::to_string(i + 1), {"name", "result", "seconds"});
    TestItem t;
    t.strName = item.Text("name", "", true);
    if (t.strName.empty()) item.Fail("field 'name' is empty");
    t.strResult = item.Text("result", "", true);
    t.dSeconds = item.Seconds("seconds", 1.0);
    u.items.push_back(std::move(t));
  }
  return u;
}

std::string LineAndColumn(const std::string& message) {
  static const std::regex where("line ([0-9]+), column ([0-9]+)");
  std::smatch m;
  if (std::regex_search(message, m, where)) return m[1].str() + ":" + m[2].str();
  return {};
}

}  // namespace

Scenario ParseScenario(const std::string& strText, const std::string& strName) {
  json doc;
  try {
    doc = json::parse(strText);
  } catch (const json::parse_error& e) {
    std::string what = e.what();
    // "[json.exception.parse_error.101] parse error at line 3, column 7: syntax error ..."
    const std::size_t colon = what.find(": ", what.find("column"));
    const std::string reason = colon == std::string::npos ? what : what.substr(colon + 2);
    const std::string place = LineAndColumn(what);
    throw ScenarioError(strName + (place.empty() ? "" : ":" + place) + ": malformed JSON: " + reason +
                        ": fix the file at that place");
  }
  Fields top(doc, strName, {"title", "line", "grid", "window", "changeover", "defaults", "positions"});
  Scenario s;
  s.strTitle = top.Text("title", "Monitor station");
  s.strLine = top.Text("line", "");
  s.dChangeover = top.Seconds("changeover", 1.0);
  if (!top.Has("grid")) top.Fail("field 'grid' is missing: give {\"rows\": R, \"cols\": C}");
  {
    Fields grid(top.At("grid"), strName + ", grid", {"rows", "cols"});
    s.nRows = grid.Whole("rows", 1, 1, 8);
    s.nCols = grid.Whole("cols", 1, 1, 8);
  }
  if (top.Has("window")) {
    Fields window(top.At("window"), strName + ", window", {"width", "height"});
    s.nWidth = window.Whole("width", s.nWidth, 320, 8000);
    s.nHeight = window.Whole("height", s.nHeight, 240, 8000);
  }
  Unit defaults;
  if (top.Has("defaults")) {
    Fields f(
        top.At("defaults"), strName + ", defaults",
        {"model", "routeStep", "station", "fixture", "computer", "operator", "startTime", "version", "mac", "judge"});
    ReadUnitFields(f, defaults);
  }
  const json& positions = top.List("positions", true);
  if (positions.empty()) top.Fail("field 'positions' is empty: give at least one position with its units");
  std::set<int> seen;
  for (std::size_t p = 0; p < positions.size(); ++p) {
    const std::string where = strName + ", positions[" + std::to_string(p) + "]";
    Fields pf(positions[p], where, {"position", "fixture", "units"});
    Position pos;
    if (!pf.Has("position")) pf.Fail("field 'position' is missing (the list number, 1 to rows x cols)");
    pos.nListID = pf.Whole("position", 0, 1, s.nRows * s.nCols);
    if (!seen.insert(pos.nListID).second) pf.Fail("position " + std::to_string(pos.nListID) + " is given twice");
    Unit positionDefaults = defaults;
    positionDefaults.nFixture = pf.Whole("fixture", pos.nListID, 0, 1000000);
    const json& units = pf.List("units", true);
    for (std::size_t u = 0; u < units.size(); ++u) {
      const std::string unitWhere =
          strName + ", position " + std::to_string(pos.nListID) + ", unit " + std::to_string(u + 1);
      Unit unit = ReadUnit(units[u], positionDefaults, unitWhere);
      pos.units.push_back(std::move(unit));
    }
    s.positions.push_back(std::move(pos));
  }
  return s;
}

Scenario LoadScenario(const std::string& strPath) {
  struct stat st {};
  if (stat(strPath.c_str(), &st) != 0)
    throw ScenarioError("no scenario file " + strPath + ": check the path (see station/scenarios/ for examples)");
  if (!S_ISREG(st.st_mode)) throw ScenarioError("the scenario " + strPath + " is not a file: give a JSON file");
  std::ifstream in(strPath, std::ios::binary);
  if (!in)
    throw ScenarioError("cannot read the scenario " + strPath + ": check the path (no such file, or not readable)");
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw ScenarioError("cannot read the scenario " + strPath + ": give a readable JSON file");
  return ParseScenario(text.str(), strPath);
}

}  // namespace station
