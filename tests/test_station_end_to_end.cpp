// The station program and the MES receiver as a user runs them: a small
// scenario end to end (offscreen), then every user mistake the programs
// report with one line and a non-zero exit, losing nothing already saved.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/ScratchFolder.h"
#include "tests/support/LoopbackListener.h"
#include "tests/XlsPeerDump.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int nExit = -1;
  std::string strOut;
  std::string strErr;
};

std::string SourceDir() {
  const char* root = std::getenv("MONITOR_SOURCE_DIR");
  return root ? root : ".";
}

// Runs a command line (paths here hold no blanks) with its output captured.
Outcome RunCommand(const ScratchFolder& dir, const std::string& command) {
  const std::string out = dir.File(".stdout"), err = dir.File(".stderr");
  const int status = std::system((command + " >" + out + " 2>" + err + " </dev/null").c_str());
  Outcome o;
  o.nExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.strOut = ReadBytes(out);
  o.strErr = ReadBytes(err);
  return o;
}

std::string Station() {
  return STATION_PROGRAM;
}
std::string ReceiverProgram() {
  return RECEIVER_PROGRAM;
}

// Every upload the receiver stored, by serial number: column name -> value
// (blobs in hex, NULL as "(null)").
std::map<std::string, std::map<std::string, std::string>> StoredUploads(const std::string& database) {
  std::map<std::string, std::map<std::string, std::string>> rows;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  const char* sql =
      "SELECT SerialNumber, OrderNo, MacList, ComponentSnList, DealResult, BugType, BugReason, hex(TempColumn1),"
      " hex(TempColumn2), hex(TempColumn3), WorkStation, ToolType, Recorder, SystemType, Version, received_at,"
      " length(raw_request) FROM uploads";
  EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    std::map<std::string, std::string> row;
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      const unsigned char* v = sqlite3_column_text(st, i);
      row[sqlite3_column_name(st, i)] = v ? reinterpret_cast<const char*>(v) : "(null)";
    }
    const std::string serial = row["SerialNumber"];
    EXPECT_EQ(rows.count(serial), 0u) << serial << " stored twice";
    rows[serial] = row;
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return rows;
}

// Sheet name -> rows, each row its typed cells as python3-xlrd reads them.
std::map<std::string, std::vector<std::vector<std::string>>> WorkbookRows(const std::string& path) {
  const PeerBook book = XlrdRead(path);
  EXPECT_EQ(book.refusal, "") << "xlrd refuses the workbook";
  std::map<std::string, std::vector<std::vector<std::string>>> sheets;
  for (const PeerSheet& sheet : book.sheets) sheets[sheet.name] = sheet.rows;
  return sheets;
}

std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.is_regular_file() && e.path().filename().string().rfind(prefix, 0) == 0) found.push_back(e.path().string());
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
  int v;
  while (cells >> bar >> v) values.push_back(v);
  return values;
}

TEST(StationEndToEnd, SmallScenarioReachesTheReceiverTheWorkbookAndTheLogs) {
  ScratchFolder dir;
  const std::string out = dir.File("out");
  const Outcome run =
      RunCommand(dir, Station() + " --out " + out + " --speed 20 " + SourceDir() + "/tests/data/station/small.json");
  ASSERT_EQ(run.nExit, 0) << run.strOut << run.strErr;
  EXPECT_NE(run.strOut.find("No PCB.xls in " + out + ": made a fresh one from the template"), std::string::npos)
      << run.strOut;

  // Summary: units, PASS, FAIL, uploads accepted, rows exported, failed saves.
  EXPECT_EQ(SummaryRow(run.strOut, "1"), (std::vector<int>{2, 1, 1, 2, 2, 0})) << run.strOut;
  EXPECT_EQ(SummaryRow(run.strOut, "2"), (std::vector<int>{2, 1, 1, 1, 2, 0})) << run.strOut;
  EXPECT_EQ(SummaryRow(run.strOut, "3"), (std::vector<int>{1, 1, 0, 1, 1, 0})) << run.strOut;
  EXPECT_EQ(SummaryRow(run.strOut, "all"), (std::vector<int>{5, 3, 2, 4, 5, 0})) << run.strOut;
  for (const std::string& path :
       {out + "/station-window.png", out + "/TestResult", out + "/PCB.xls", out + "/mes-receiver.sqlite"})
    EXPECT_NE(run.strOut.find(path), std::string::npos) << path << " named in\n" << run.strOut;
  EXPECT_EQ(ReadBytes(out + "/station-window.png").substr(0, 8), "\x89PNG\r\n\x1a\n");

  // The receiver holds exactly the four reported units (the camera that
  // failed is not reported), with the values the module derives.
  const auto uploads = StoredUploads(out + "/mes-receiver.sqlite");
  ASSERT_EQ(uploads.size(), 4u);
  struct Expected {
    const char* serial;
    const char* deal;
    const char* bugType;
    const char* version;
    const char* temp;  // first two bytes of the version, hex
    const char* mac;
    const char* tool;
  };
  const Expected expected[] = {
      {"E2E-N01", "PASS", "D0000;", "V4.0.2", "5634", "24:28:FD:00:00:01", "NVR_整机测试"},
      {"E2E-N02", "FAIL", "D2201;", "V4.0.2", "5634", "24:28:FD:00:00:02", "NVR_整机测试"},
      {"E2E-I01", "PASS", "D0000;", "V5.7.3", "5635", "44:19:B6:00:00:01", "IPC_整机测试"},
      {"E2E-D01", "PASS", "D0000;", "sStartStr error", "7353", "sStartStr error", "DVR_整机测试"},
  };
  for (const Expected& e : expected) {
    ASSERT_EQ(uploads.count(e.serial), 1u) << e.serial;
    auto row = uploads.at(e.serial);  // a copy: operator[] below
    EXPECT_EQ(row["OrderNo"], std::string(e.serial).substr(0, 7)) << e.serial;
    EXPECT_EQ(row["DealResult"], e.deal) << e.serial;
    EXPECT_EQ(row["BugType"], e.bugType) << e.serial;
    EXPECT_EQ(row["Version"], e.version) << e.serial;
    EXPECT_EQ(row["hex(TempColumn1)"], e.temp) << e.serial;
    EXPECT_EQ(row["hex(TempColumn3)"], e.temp) << e.serial;
    EXPECT_EQ(row["MacList"], e.mac) << e.serial;
    EXPECT_EQ(row["ToolType"], e.tool) << e.serial;
    EXPECT_EQ(row["ComponentSnList"], "") << e.serial;
    EXPECT_EQ(row["WorkStation"], "整机测试工位E2E") << e.serial;
    EXPECT_EQ(row["Recorder"], "E2E-PC_7654321") << e.serial;
    EXPECT_EQ(row["SystemType"], "0") << e.serial;
    EXPECT_EQ(row["BugReason"].rfind("FormatVersion\t=\t1.0.0.0\n[HEAD]\n", 0), 0u) << e.serial;
    EXPECT_NE(row["BugReason"].find("MfgId      = " + std::string(e.serial) + "\n"), std::string::npos);
    EXPECT_EQ(row["BugReason"].substr(row["BugReason"].size() - 5), "[END]") << e.serial;
  }
  EXPECT_NE(uploads.at("E2E-N02").at("BugReason").find("时间同步功能执行通过 = FAIL\n"), std::string::npos);

  // PCB.xls: one sheet per model, one row per unit under the header.
  auto sheets = WorkbookRows(out + "/PCB.xls");
  const std::map<std::string, std::vector<std::string>> serialsBySheet = {
      {"NVR-E2E", {"E2E-N01", "E2E-N02"}}, {"IPC-E2E", {"E2E-I01", "E2E-I02"}}, {"DVR-E2E", {"E2E-D01"}}};
  for (const auto& [model, serials] : serialsBySheet) {
    ASSERT_EQ(sheets.count(model), 1u) << model;
    const auto& rows = sheets[model];
    ASSERT_EQ(rows.size(), serials.size() + 1) << model;
    EXPECT_EQ(rows[0].at(0), "T时间");
    EXPECT_EQ(rows[0].at(1), "TSN");
    for (std::size_t i = 0; i < serials.size(); ++i) {
      EXPECT_EQ(rows[i + 1].at(0).rfind("T当前日期：", 0), 0u) << model;
      EXPECT_EQ(rows[i + 1].at(1), "T" + serials[i]) << model;
    }
  }
  EXPECT_EQ(sheets["NVR-E2E"][0].at(4), "T时间同步功能执行通过");
  EXPECT_EQ(sheets["NVR-E2E"][2].at(4), "TFAIL");  // the failed unit's row holds its results
  EXPECT_EQ(sheets.count("说明"), 1u);             // the template's own sheet stays

  // Both logs of every unit; the camera that was not reported keeps its dated log.
  const std::string logs = out + "/TestResult";
  std::vector<std::string> dated;
  for (const auto& e : fs::directory_iterator(logs))
    if (e.is_directory()) dated.push_back(e.path().string());
  ASSERT_EQ(dated.size(), 1u);
  for (const char* serial : {"E2E-N01", "E2E-N02", "E2E-I01", "E2E-I02", "E2E-D01"}) {
    EXPECT_EQ(FilesStartingWith(dated[0], std::string(serial) + "-").size(), 1u) << serial;
    EXPECT_EQ(FilesStartingWith(logs, std::string(serial) + "-").size(), 1u) << serial;
  }
  const std::string datedLog = ReadBytes(FilesStartingWith(dated[0], "E2E-I02-").at(0));
  EXPECT_NE(datedLog.find("Result     = FAIL\r\n"), std::string::npos);

  // The receiver lists what it stored.
  const Outcome listed = RunCommand(dir, ReceiverProgram() + " list --json --db " + out + "/mes-receiver.sqlite");
  EXPECT_EQ(listed.nExit, 0) << listed.strErr;
  EXPECT_NE(listed.strOut.find("\"SerialNumber\": \"E2E-D01\""), std::string::npos) << listed.strOut;

  // A second run appends to the same workbook and database: nothing earlier is lost.
  const Outcome again =
      RunCommand(dir, Station() + " --out " + out + " --speed 50 " + SourceDir() + "/tests/data/station/small.json");
  ASSERT_EQ(again.nExit, 0) << again.strErr;
  EXPECT_EQ(again.strOut.find("made a fresh one"), std::string::npos);
  sheets = WorkbookRows(out + "/PCB.xls");
  EXPECT_EQ(sheets["NVR-E2E"].size(), 5u);
  sqlite3* db = nullptr;
  sqlite3_open_v2((out + "/mes-receiver.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM uploads", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 8);
  sqlite3_finalize(st);
  sqlite3_close(db);
}

TEST(StationEndToEnd, OnADisplayTheWindowIsRealAndClosesWhenAskedTo) {
  if (access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run (package xvfb) is not installed";
  ScratchFolder dir;
  const std::string out = dir.File("out");
  const Outcome run = RunCommand(dir, "env -u QT_QPA_PLATFORM xvfb-run -a -s '-screen 0 1600x1000x24' " + Station() +
                                          " --exit-when-done --out " + out + " --speed 50 " + SourceDir() +
                                          "/tests/data/station/small.json");
  ASSERT_EQ(run.nExit, 0) << run.strOut << run.strErr;
  EXPECT_EQ(SummaryRow(run.strOut, "all"), (std::vector<int>{5, 3, 2, 4, 5, 0})) << run.strOut;
  EXPECT_FALSE(fs::exists(out + "/station-window.png")) << "a real window is not drawn into a file";
}

TEST(StationEndToEnd, AFailedUploadMakesTheExitCodeNonZeroAndKeepsTheRest) {
  ScratchFolder dir;
  // A real receiver, but the station is pointed at a path it does not serve.
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t receiver = fork();
  if (receiver == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    const std::string program = ReceiverProgram(), db = dir.File("r.sqlite");
    execl(program.c_str(), program.c_str(), "serve", "--port", "0", "--db", db.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  FILE* server = fdopen(out[0], "r");
  char line[256] = {};
  ASSERT_NE(fgets(line, sizeof line, server), nullptr);
  std::string url = std::string(line).substr(10);
  url = url.substr(0, url.find("/querysn")) + "/elsewhere.asmx";
  const std::string outDir = dir.File("out");
  const Outcome run = RunCommand(dir, Station() + " --out " + outDir + " --speed 50 --mes " + url + " " + SourceDir() +
                                          "/tests/data/station/small.json");
  kill(receiver, SIGTERM);
  waitpid(receiver, nullptr, 0);
  fclose(server);
  EXPECT_EQ(run.nExit, 1) << run.strOut << run.strErr;
  EXPECT_EQ(SummaryRow(run.strOut, "all"), (std::vector<int>{5, 3, 2, 0, 5, 4})) << run.strOut;
  EXPECT_NE(run.strOut.find("upload FAILED"), std::string::npos);
  EXPECT_EQ(WorkbookRows(outDir + "/PCB.xls")["NVR-E2E"].size(), 3u);  // rows and logs are still written
  EXPECT_EQ(FilesStartingWith(outDir + "/TestResult", "E2E-N01-").size(), 1u);
}

TEST(StationEndToEnd, UserMistakesGetOneLineAndANonZeroExit) {
  ScratchFolder dir;
  const std::string good = SourceDir() + "/tests/data/station/small.json";
  const std::string goodText = ReadBytes(good);
  WriteBytes(dir.File("malformed.json"), "{\n  \"grid\": {\"rows\": 1, \"cols\": 1},\n  \"positions\": [,]\n}\n");
  std::string unknown = goodText;
  unknown.replace(unknown.find("\"serial\": \"E2E-I02\""), 19, "\"serail\": \"E2E-I02\"");
  WriteBytes(dir.File("unknown-field.json"), unknown);
  std::string wrongType = goodText;
  wrongType.replace(wrongType.find("\"seconds\": 0.3}]}\n    ]}\n  ]"), 14, "\"seconds\": \"0.3\"");
  WriteBytes(dir.File("wrong-type.json"), wrongType);

  // An output folder that already holds saved units and a PCB.xls that is no workbook.
  const std::string kept = dir.File("kept");
  fs::create_directories(kept + "/TestResult");
  WriteBytes(kept + "/TestResult/SN1-20260101000000.txt", "saved earlier");
  WriteBytes(kept + "/PCB.xls", "SN;Result\n");

  testsupport::CLoopbackListener listening;
  const int busyPort = listening.Port();
  const int silentPort = testsupport::FreeLoopbackPort();
  const std::string readOnly = geteuid() == 0 ? "/sys/kernel" : dir.File("read-only");
  if (geteuid() != 0) {
    fs::create_directory(readOnly);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
  }
  const std::string out = " --out " + dir.File("out") + " ";

  struct Case {
    const char* what;
    std::string args;
    std::vector<std::string> parts;
  };
  const std::vector<Case> cases = {
      {"missing file", out + dir.File("none.json"), {"no scenario file", "none.json"}},
      {"malformed JSON", out + dir.File("malformed.json"), {"malformed.json:3:", "malformed JSON"}},
      {"unknown field", out + dir.File("unknown-field.json"), {"position 2, unit 2", "unknown field 'serail'"}},
      {"wrong type",
       out + dir.File("wrong-type.json"),
       {"position 3, unit 1 (E2E-D01), item 3", "'seconds' must be a number"}},
      {"unknown option", out + "--colour " + good, {"unknown option --colour"}},
      {"bad speed", out + "--speed fast " + good, {"--speed fast"}},
      {"busy port",
       out + "--mes-port " + std::to_string(busyPort) + " " + good,
       {"receiver did not start", "port " + std::to_string(busyPort) + " on 127.0.0.1 is in use"}},
      {"silent MES",
       out + "--mes http://127.0.0.1:" + std::to_string(silentPort) + "/querysn/cs_querysn.asmx " + good,
       {"does not answer", "Connection refused"}},
      {"not a workbook", " --out " + kept + " " + good, {kept + "/PCB.xls is not an Excel 97-2003 workbook"}},
      {"read-only folder", " --out " + readOnly + " " + good, {"is not writable", "--out"}},
  };
  for (const Case& c : cases) {
    const Outcome o = RunCommand(dir, Station() + c.args);
    EXPECT_NE(o.nExit, 0) << c.what;
    std::string message = o.strErr;
    if (message.rfind("usage:", 0) == 0) message = message.substr(message.find("\nmonitor-station: ") + 1);
    EXPECT_EQ(message.rfind("monitor-station: ", 0), 0u) << c.what << ": " << o.strErr;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << c.what << ": one line\n" << o.strErr;
    for (const std::string& part : c.parts)
      EXPECT_NE(message.find(part), std::string::npos) << c.what << ": " << message;
  }
  listening.Close();
  EXPECT_FALSE(fs::exists(dir.File("out") + "/PCB.xls")) << "a refused run makes nothing";
  EXPECT_EQ(ReadBytes(kept + "/PCB.xls"), "SN;Result\n");
  EXPECT_EQ(ReadBytes(kept + "/TestResult/SN1-20260101000000.txt"), "saved earlier");

  // The receiver on its own.
  testsupport::CLoopbackListener taken;
  const int port2 = taken.Port();
  const Outcome busy =
      RunCommand(dir, ReceiverProgram() + " serve --port " + std::to_string(port2) + " --db " + dir.File("r.sqlite"));
  taken.Close();
  EXPECT_EQ(busy.nExit, 2);
  EXPECT_NE(busy.strErr.find("port " + std::to_string(port2) + " on 127.0.0.1 is in use"), std::string::npos)
      << busy.strErr;
  const Outcome noDb = RunCommand(dir, ReceiverProgram() + " list --db " + dir.File("none.sqlite"));
  EXPECT_EQ(noDb.nExit, 2);
  EXPECT_NE(noDb.strErr.find("no database at"), std::string::npos) << noDb.strErr;
}

}  // namespace
