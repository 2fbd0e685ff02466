// The station program and the MES receiver as a user runs them: a small
// scenario end to end (offscreen), then user mistakes, each reported with one
// line and a non-zero exit, losing nothing already saved.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
  std::string strOut, strErr;
};

const std::string kScenario = std::string(std::getenv("MONITOR_SOURCE_DIR") ?: ".") + "/tests/data/station/small.json";
const std::string kStation = STATION_PROGRAM;
const std::string kReceiver = RECEIVER_PROGRAM;

// Runs a command line (paths here hold no blanks) with its output captured.
Outcome Launch(const ScratchFolder& dir, const std::string& command) {
  const std::string out = dir.File(".stdout"), err = dir.File(".stderr");
  const int status = std::system((command + " >" + out + " 2>" + err + " </dev/null").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(out), ReadBytes(err)};
}

// What the receiver lists as stored (its own "list --json").
json StoredUploads(const ScratchFolder& dir, const std::string& database) {
  return json::parse(Launch(dir, kReceiver + " list --json --db " + database).strOut, nullptr, false);
}

// Column 2 (the serial) of every row of a sheet, as python3-xlrd reads it.
std::vector<std::string> SerialColumn(const std::string& path, const std::string& sheet) {
  const PeerBook book = XlrdRead(path);
  EXPECT_EQ(book.refusal, "") << "xlrd refuses the workbook";
  std::vector<std::string> column;
  if (const PeerSheet* s = book.Find(sheet))
    for (const auto& row : s->rows) column.push_back(row.at(1));
  return column;
}

int FilesStartingWith(const std::string& folder, const std::string& prefix) {
  int found = 0;
  for (const auto& e : fs::directory_iterator(folder))
    found += e.is_regular_file() && e.path().filename().string().starts_with(prefix);
  return found;
}

// The summary row of a position ("1", "all") as numbers.
std::vector<int> SummaryRow(const std::string& out, const std::string& position) {
  std::smatch m;
  std::vector<int> values;
  if (!std::regex_search(out, m, std::regex("(^|\\n)" + position + " +((\\| +[0-9]+ *)+)\\n"))) return values;
  std::istringstream cells(m[2].str());
  std::string bar;
  for (int v; cells >> bar >> v;) values.push_back(v);
  return values;
}

TEST(StationEndToEnd, SmallScenarioReachesTheReceiverTheWorkbookAndTheLogs) {
  ScratchFolder dir;
  const std::string out = dir.File("out");
  const Outcome run = Launch(dir, kStation + " --out " + out + " --speed 20 " + kScenario);
  ASSERT_EQ(run.nExit, 0) << run.strOut << run.strErr;
  // Units, PASS, FAIL, uploads accepted, rows exported, failed saves.
  const std::map<std::string, std::vector<int>> summary = {
      {"1", {2, 1, 1, 2, 2, 0}}, {"2", {2, 1, 1, 1, 2, 0}}, {"3", {1, 1, 0, 1, 1, 0}}, {"all", {5, 3, 2, 4, 5, 0}}};
  for (const auto& [position, values] : summary) EXPECT_EQ(SummaryRow(run.strOut, position), values) << run.strOut;
  EXPECT_EQ(ReadBytes(out + "/station-window.png").substr(0, 8), "\x89PNG\r\n\x1a\n");

  // The receiver holds exactly the four reported units (the camera that
  // failed is not reported), with the values the module derives.
  std::vector<std::string> stored;
  for (const json& u : StoredUploads(dir, out + "/mes-receiver.sqlite")) {
    const std::string reason = u["BugReason"];
    EXPECT_TRUE(reason.starts_with("FormatVersion\t=\t1.0.0.0\n[HEAD]\n") && reason.ends_with("[END]")) << reason;
    std::string row;
    for (const char* key : {"SerialNumber", "OrderNo", "DealResult", "BugType", "Version", "TempColumn1", "TempColumn2",
                            "TempColumn3", "MacList", "ToolType", "ComponentSnList", "WorkStation", "Recorder"})
      row += u[key].get<std::string>() + "|";
    stored.push_back(row + std::to_string(u["SystemType"].get<int>()));
  }
  std::sort(stored.begin(), stored.end());
  const std::string same = "|整机测试工位E2E|E2E-PC_7654321|0";
  EXPECT_EQ(stored,
            (std::vector<std::string>{
                "E2E-D01|E2E-D01|PASS|D0000;|sStartStr error|7353|7353|7353|sStartStr error|DVR_整机测试|" + same,
                "E2E-I01|E2E-I01|PASS|D0000;|V5.7.3|5635|5635|5635|44:19:B6:00:00:01|IPC_整机测试|" + same,
                "E2E-N01|E2E-N01|PASS|D0000;|V4.0.2|5634|5634|5634|24:28:FD:00:00:01|NVR_整机测试|" + same,
                "E2E-N02|E2E-N02|FAIL|D2201;|V4.0.2|5634|5634|5634|24:28:FD:00:00:02|NVR_整机测试|" + same}));

  // PCB.xls: one sheet per model, one row per unit under the header (the rows' layout is the exporter's tests').
  EXPECT_EQ(SerialColumn(out + "/PCB.xls", "NVR-E2E"), (std::vector<std::string>{"TSN", "TE2E-N01", "TE2E-N02"}));
  EXPECT_EQ(SerialColumn(out + "/PCB.xls", "IPC-E2E"), (std::vector<std::string>{"TSN", "TE2E-I01", "TE2E-I02"}));
  EXPECT_EQ(SerialColumn(out + "/PCB.xls", "DVR-E2E"), (std::vector<std::string>{"TSN", "TE2E-D01"}));
  EXPECT_NE(XlrdRead(out + "/PCB.xls").Find("说明"), nullptr);  // the template's own sheet stays

  // A second run appends to the same workbook and database: nothing earlier is lost.
  const Outcome again = Launch(dir, kStation + " --out " + out + " --speed 50 " + kScenario);
  ASSERT_EQ(again.nExit, 0) << again.strErr;
  EXPECT_EQ(SerialColumn(out + "/PCB.xls", "NVR-E2E").size(), 5u);
  EXPECT_EQ(StoredUploads(dir, out + "/mes-receiver.sqlite").size(), 8u);
}

TEST(StationEndToEnd, AFailedUploadMakesTheExitCodeNonZeroAndKeepsTheRest) {
  ScratchFolder dir;
  testsupport::CLoopbackServer mes;  // answers, but serves no such service
  mes.SetHandler([](const std::string&) {
    return testsupport::LoopbackReply::Bytes("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  });
  const std::string out = dir.File("out");
  const Outcome run =
      Launch(dir, kStation + " --out " + out + " --speed 50 --mes " + mes.Url("/x.asmx") + " " + kScenario);
  EXPECT_EQ(run.nExit, 1) << run.strOut << run.strErr;
  EXPECT_EQ(SummaryRow(run.strOut, "all"), (std::vector<int>{5, 3, 2, 0, 5, 4})) << run.strOut;
  EXPECT_EQ(SerialColumn(out + "/PCB.xls", "NVR-E2E").size(), 3u);  // rows and logs are still written
  EXPECT_EQ(FilesStartingWith(out + "/TestResult", "E2E-N01-"), 1);
}

TEST(StationEndToEnd, UserMistakesGetOneLineAndANonZeroExit) {
  ScratchFolder dir;
  // An output folder that already holds saved units and a PCB.xls that is no workbook.
  const std::string kept = dir.File("kept");
  fs::create_directories(kept + "/TestResult");
  WriteBytes(kept + "/TestResult/SN1-20260101000000.txt", "saved earlier");
  WriteBytes(kept + "/PCB.xls", "SN;Result\n");
  testsupport::CLoopbackListener listening;
  const std::string busyPort = std::to_string(listening.Port());
  const std::string refusingPort = std::to_string(testsupport::FreeLoopbackPort());
  const std::string readOnly = geteuid() == 0 ? "/sys/kernel" : dir.File("read-only");
  if (geteuid() != 0) {
    fs::create_directory(readOnly);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
  }
  const std::string out = " --out " + dir.File("out") + " ";
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {out + dir.File("none.json"), {"no scenario file", "none.json"}},
      {out + "--colour " + kScenario, {"unknown option --colour"}},
      {out + "--speed fast " + kScenario, {"--speed fast"}},
      {out + "--mes-port " + busyPort + " " + kScenario,
       {"receiver did not start", "port " + busyPort + " on 127.0.0.1 is in use"}},
      {out + "--mes http://127.0.0.1:" + refusingPort + "/x.asmx " + kScenario, {"does not answer", "refused"}},
      {" --out " + kept + " " + kScenario, {kept + "/PCB.xls is not an Excel 97-2003 workbook"}},
      {" --out " + kept + "/PCB.xls " + kScenario, {"cannot create the output folder"}},
      {" --out " + readOnly + " " + kScenario, {"is not writable", "--out"}},
  };
  for (const auto& [args, parts] : cases) {
    const Outcome o = Launch(dir, kStation + args);
    EXPECT_NE(o.nExit, 0) << args;
    std::string message = o.strErr;
    if (message.starts_with("usage:")) message = message.substr(message.find("\nmonitor-station: ") + 1);
    EXPECT_TRUE(message.starts_with("monitor-station: ") && std::count(message.begin(), message.end(), '\n') == 1)
        << args << ": one line\n"
        << o.strErr;
    for (const std::string& part : parts) EXPECT_NE(message.find(part), std::string::npos) << args << ": " << message;
  }
  EXPECT_FALSE(fs::exists(dir.File("out") + "/PCB.xls")) << "a refused run makes nothing";
  EXPECT_EQ(ReadBytes(kept + "/PCB.xls") + ReadBytes(kept + "/TestResult/SN1-20260101000000.txt"),
            "SN;Result\nsaved earlier");

  // The receiver on its own: a database to list that is not there (a busy port is in the table above).
  const Outcome noDb = Launch(dir, kReceiver + " list --db " + dir.File("none.sqlite"));
  EXPECT_EQ(noDb.nExit, 2);
  EXPECT_NE(noDb.strErr.find("no database at"), std::string::npos) << noDb.strErr;
}

}  // namespace
