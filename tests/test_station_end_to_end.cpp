// The station program and the MES receiver as a user runs them: a small
// scenario end to end (offscreen), then every user mistake the programs
// report with one line and a non-zero exit, losing nothing already saved.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/ScratchFolder.h"
#include "tests/XlsPeerDump.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/LoopbackServer.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct Outcome {
  int nExit = -1;
  std::string strOut;
  std::string strErr;
};

const std::string kScenario = std::string(std::getenv("MONITOR_SOURCE_DIR") ?: ".") + "/tests/data/station/small.json";
const std::string kStation = STATION_PROGRAM;
const std::string kReceiver = RECEIVER_PROGRAM;

// Runs a command line (paths here hold no blanks) with its output captured.
Outcome RunCommand(const ScratchFolder& dir, const std::string& command) {
  const std::string out = dir.File(".stdout"), err = dir.File(".stderr");
  const int status = std::system((command + " >" + out + " 2>" + err + " </dev/null").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(out), ReadBytes(err)};
}

// What the receiver lists as stored (its own "list --json").
json StoredUploads(const ScratchFolder& dir, const std::string& database) {
  const Outcome listed = RunCommand(dir, kReceiver + " list --json --db " + database);
  EXPECT_EQ(listed.nExit, 0) << listed.strErr;
  return json::parse(listed.strOut, nullptr, false);
}

// Sheet name -> rows, each row its typed cells as python3-xlrd reads them.
std::map<std::string, std::vector<std::vector<std::string>>> WorkbookRows(const std::string& path) {
  const PeerBook book = XlrdRead(path);
  EXPECT_EQ(book.refusal, "") << "xlrd refuses the workbook";
  std::map<std::string, std::vector<std::vector<std::string>>> sheets;
  for (const PeerSheet& sheet : book.sheets) sheets[sheet.name] = sheet.rows;
  return sheets;
}

int FilesStartingWith(const std::string& folder, const std::string& prefix) {
  int found = 0;
  for (const auto& e : fs::directory_iterator(folder))
    found += e.is_regular_file() && e.path().filename().string().rfind(prefix, 0) == 0;
  return found;
}

// The summary row of a position ("1", "all") as numbers.
std::vector<int> SummaryRow(const std::string& out, const std::string& position) {
  const std::regex row("(^|\\n)" + position + " +((\\| +[0-9]+ *)+)\\n");
  std::smatch m;
  std::vector<int> values;
  if (!std::regex_search(out, m, row)) return values;
  std::istringstream cells(m[2].str());
  std::string bar;
  for (int v; cells >> bar >> v;) values.push_back(v);
  return values;
}

TEST(StationEndToEnd, SmallScenarioReachesTheReceiverTheWorkbookAndTheLogs) {
  ScratchFolder dir;
  const std::string out = dir.File("out");
  const Outcome run = RunCommand(dir, kStation + " --out " + out + " --speed 20 " + kScenario);
  ASSERT_EQ(run.nExit, 0) << run.strOut << run.strErr;
  EXPECT_NE(run.strOut.find("No PCB.xls in " + out + ": made a fresh one from the template"), std::string::npos)
      << run.strOut;

  // Summary: units, PASS, FAIL, uploads accepted, rows exported, failed saves.
  const std::map<std::string, std::vector<int>> summary = {
      {"1", {2, 1, 1, 2, 2, 0}}, {"2", {2, 1, 1, 1, 2, 0}}, {"3", {1, 1, 0, 1, 1, 0}}, {"all", {5, 3, 2, 4, 5, 0}}};
  for (const auto& [position, values] : summary) EXPECT_EQ(SummaryRow(run.strOut, position), values) << run.strOut;
  for (const char* name : {"/station-window.png", "/TestResult", "/PCB.xls", "/mes-receiver.sqlite"})
    EXPECT_NE(run.strOut.find(out + name), std::string::npos) << name << " named in\n" << run.strOut;
  EXPECT_EQ(ReadBytes(out + "/station-window.png").substr(0, 8), "\x89PNG\r\n\x1a\n");

  // The receiver holds exactly the four reported units (the camera that
  // failed is not reported), with the values the module derives.
  json uploads = StoredUploads(dir, out + "/mes-receiver.sqlite");
  ASSERT_TRUE(uploads.is_array()) << uploads;
  std::map<std::string, json> bySerial, expected;
  for (json& u : uploads) {
    const std::string serial = u["SerialNumber"], reason = u["BugReason"];
    EXPECT_EQ(reason.rfind("FormatVersion\t=\t1.0.0.0\n[HEAD]\n", 0), 0u) << serial;
    EXPECT_NE(reason.find("MfgId      = " + serial + "\n"), std::string::npos) << reason;
    EXPECT_EQ(reason.substr(reason.size() - 5), "[END]") << serial;
    if (serial == "E2E-N02") EXPECT_NE(reason.find("时间同步功能执行通过 = FAIL\n"), std::string::npos) << reason;
    for (const char* key : {"BugReason", "id", "received_at", "raw_request_bytes"}) u.erase(key);
    bySerial[serial] = u;
  }
  // Serial, DealResult, BugType, Version, the version's first two bytes (hex), MacList, ToolType.
  const char* const rows[][7] = {
      {"E2E-N01", "PASS", "D0000;", "V4.0.2", "5634", "24:28:FD:00:00:01", "NVR_整机测试"},
      {"E2E-N02", "FAIL", "D2201;", "V4.0.2", "5634", "24:28:FD:00:00:02", "NVR_整机测试"},
      {"E2E-I01", "PASS", "D0000;", "V5.7.3", "5635", "44:19:B6:00:00:01", "IPC_整机测试"},
      {"E2E-D01", "PASS", "D0000;", "sStartStr error", "7353", "sStartStr error", "DVR_整机测试"},
  };
  for (const auto& r : rows) {
    expected[r[0]] = {{"SerialNumber", r[0]},
                      {"OrderNo", std::string(r[0]).substr(0, 7)},
                      {"DealResult", r[1]},
                      {"BugType", r[2]},
                      {"Version", r[3]},
                      {"TempColumn1", r[4]},
                      {"TempColumn2", r[4]},
                      {"TempColumn3", r[4]},
                      {"MacList", r[5]},
                      {"ToolType", r[6]},
                      {"ComponentSnList", ""},
                      {"WorkStation", "整机测试工位E2E"},
                      {"Recorder", "E2E-PC_7654321"},
                      {"SystemType", 0}};
  }
  EXPECT_EQ(uploads.size(), 4u);  // none stored twice
  EXPECT_EQ(bySerial, expected);

  // PCB.xls: one sheet per model, one row per unit under the header (the rows' layout is the exporter's tests').
  auto sheets = WorkbookRows(out + "/PCB.xls");
  const std::map<std::string, std::vector<std::string>> serialsBySheet = {{"NVR-E2E", {"TSN", "TE2E-N01", "TE2E-N02"}},
                                                                          {"IPC-E2E", {"TSN", "TE2E-I01", "TE2E-I02"}},
                                                                          {"DVR-E2E", {"TSN", "TE2E-D01"}}};
  for (const auto& [model, serials] : serialsBySheet) {
    std::vector<std::string> column;
    for (const auto& row : sheets[model]) column.push_back(row.at(1));
    EXPECT_EQ(column, serials) << model;
  }
  EXPECT_EQ(sheets.count("说明"), 1u);  // the template's own sheet stays

  // Both logs of every unit; the camera that was not reported keeps its dated log.
  const std::string logs = out + "/TestResult";
  std::vector<std::string> dated;
  for (const auto& e : fs::directory_iterator(logs))
    if (e.is_directory()) dated.push_back(e.path().string());
  ASSERT_EQ(dated.size(), 1u);
  for (const std::string serial : {"E2E-N01-", "E2E-N02-", "E2E-I01-", "E2E-I02-", "E2E-D01-"}) {
    EXPECT_EQ(FilesStartingWith(dated[0], serial), 1) << serial;
    EXPECT_EQ(FilesStartingWith(logs, serial), 1) << serial;
  }
  for (const auto& e : fs::directory_iterator(dated[0]))
    if (e.path().filename().string().rfind("E2E-I02-", 0) == 0)
      EXPECT_NE(ReadBytes(e.path()).find("Result     = FAIL\r\n"), std::string::npos);

  // A second run appends to the same workbook and database: nothing earlier is lost.
  const Outcome again = RunCommand(dir, kStation + " --out " + out + " --speed 50 " + kScenario);
  ASSERT_EQ(again.nExit, 0) << again.strErr;
  EXPECT_EQ(again.strOut.find("made a fresh one"), std::string::npos);
  EXPECT_EQ(WorkbookRows(out + "/PCB.xls")["NVR-E2E"].size(), 5u);
  EXPECT_EQ(StoredUploads(dir, out + "/mes-receiver.sqlite").size(), 8u);
}

TEST(StationEndToEnd, OnADisplayTheWindowIsRealAndClosesWhenAskedTo) {
  if (access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run (package xvfb) is not installed";
  ScratchFolder dir;
  const std::string out = dir.File("out");
  const Outcome run = RunCommand(dir, "env -u QT_QPA_PLATFORM xvfb-run -a -s '-screen 0 1600x1000x24' " + kStation +
                                          " --exit-when-done --out " + out + " --speed 50 " + kScenario);
  ASSERT_EQ(run.nExit, 0) << run.strOut << run.strErr;
  EXPECT_EQ(SummaryRow(run.strOut, "all"), (std::vector<int>{5, 3, 2, 4, 5, 0})) << run.strOut;
  EXPECT_FALSE(fs::exists(out + "/station-window.png")) << "a real window is not drawn into a file";
}

TEST(StationEndToEnd, AFailedUploadMakesTheExitCodeNonZeroAndKeepsTheRest) {
  ScratchFolder dir;
  testsupport::CLoopbackServer mes;  // answers, but serves no such service
  mes.SetHandler([](const std::string&) {
    return testsupport::LoopbackReply::Bytes("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  });
  const std::string out = dir.File("out");
  const Outcome run =
      RunCommand(dir, kStation + " --out " + out + " --speed 50 --mes " + mes.Url("/x.asmx") + " " + kScenario);
  EXPECT_EQ(run.nExit, 1) << run.strOut << run.strErr;
  EXPECT_EQ(SummaryRow(run.strOut, "all"), (std::vector<int>{5, 3, 2, 0, 5, 4})) << run.strOut;
  EXPECT_NE(run.strOut.find("upload FAILED"), std::string::npos);
  EXPECT_EQ(WorkbookRows(out + "/PCB.xls")["NVR-E2E"].size(), 3u);  // rows and logs are still written
  EXPECT_EQ(FilesStartingWith(out + "/TestResult", "E2E-N01-"), 1);
}

TEST(StationEndToEnd, UserMistakesGetOneLineAndANonZeroExit) {
  ScratchFolder dir;
  // One scenario mistake shows the reader's message reaches the user; the reader's own table has the rest.
  std::string unknown = ReadBytes(kScenario);
  unknown.replace(unknown.find("\"serial\": \"E2E-I02\""), 19, "\"serail\": \"E2E-I02\"");
  WriteBytes(dir.File("unknown-field.json"), unknown);

  // An output folder that already holds saved units and a PCB.xls that is no workbook.
  const std::string kept = dir.File("kept");
  fs::create_directories(kept + "/TestResult");
  WriteBytes(kept + "/TestResult/SN1-20260101000000.txt", "saved earlier");
  WriteBytes(kept + "/PCB.xls", "SN;Result\n");

  testsupport::CLoopbackListener listening;
  const std::string busyPort = std::to_string(listening.Port());
  const std::string silentPort = std::to_string(testsupport::FreeLoopbackPort());
  const std::string readOnly = geteuid() == 0 ? "/sys/kernel" : dir.File("read-only");
  if (geteuid() != 0) {
    fs::create_directory(readOnly);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
  }
  const std::string out = " --out " + dir.File("out") + " ";
  const struct {
    const char* what;
    std::string args;
    std::vector<std::string> parts;
  } cases[] = {
      {"missing file", out + dir.File("none.json"), {"no scenario file", "none.json"}},
      {"unknown field", out + dir.File("unknown-field.json"), {"position 2, unit 2", "unknown field 'serail'"}},
      {"unknown option", out + "--colour " + kScenario, {"unknown option --colour"}},
      {"bad speed", out + "--speed fast " + kScenario, {"--speed fast"}},
      {"busy port",
       out + "--mes-port " + busyPort + " " + kScenario,
       {"receiver did not start", "port " + busyPort + " on 127.0.0.1 is in use"}},
      {"silent MES",
       out + "--mes http://127.0.0.1:" + silentPort + "/querysn/cs_querysn.asmx " + kScenario,
       {"does not answer", "Connection refused"}},
      {"not a workbook", " --out " + kept + " " + kScenario, {kept + "/PCB.xls is not an Excel 97-2003 workbook"}},
      {"read-only folder", " --out " + readOnly + " " + kScenario, {"is not writable", "--out"}},
  };
  for (const auto& c : cases) {
    const Outcome o = RunCommand(dir, kStation + c.args);
    EXPECT_NE(o.nExit, 0) << c.what;
    std::string message = o.strErr;
    if (message.rfind("usage:", 0) == 0) message = message.substr(message.find("\nmonitor-station: ") + 1);
    EXPECT_EQ(message.rfind("monitor-station: ", 0), 0u) << c.what << ": " << o.strErr;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << c.what << ": one line\n" << o.strErr;
    for (const std::string& part : c.parts)
      EXPECT_NE(message.find(part), std::string::npos) << c.what << ": " << message;
  }
  EXPECT_FALSE(fs::exists(dir.File("out") + "/PCB.xls")) << "a refused run makes nothing";
  EXPECT_EQ(ReadBytes(kept + "/PCB.xls"), "SN;Result\n");
  EXPECT_EQ(ReadBytes(kept + "/TestResult/SN1-20260101000000.txt"), "saved earlier");

  // The receiver on its own.
  const Outcome busy = RunCommand(dir, kReceiver + " serve --port " + busyPort + " --db " + dir.File("r.sqlite"));
  EXPECT_EQ(busy.nExit, 2);
  EXPECT_NE(busy.strErr.find("port " + busyPort + " on 127.0.0.1 is in use"), std::string::npos) << busy.strErr;
  const Outcome noDb = RunCommand(dir, kReceiver + " list --db " + dir.File("none.sqlite"));
  EXPECT_EQ(noDb.nExit, 2);
  EXPECT_NE(noDb.strErr.find("no database at"), std::string::npos) << noDb.strErr;
}

}  // namespace
