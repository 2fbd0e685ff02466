// Time of one CMonitorDialog::SaveResult2EXL (list 1 of an offscreen monitor
// window, 18 items) into a model sheet that already holds 20,000 rows of 20
// text columns, beside a python3 xlrd + xlwt script doing the same
// append (load, add one row, write back) on a copy of the same workbook.
//
// Usage: bench_pcb_export [exports]   (default 5; run from anywhere)
// The exports after the first run in one process, as at a station; one more
// export by a new process shows the cost of reading the workbook from disk.
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "platform/Application.h"
#include "platform/ExeDirectory.h"
#include "platform/TextCodec.h"
#include "spreadsheet/SpreadSheet.h"

#ifndef MONITOR_SOURCE_DIR
#define MONITOR_SOURCE_DIR "."
#endif

namespace {

constexpr int kRows = 20000;
constexpr int kItems = 18;  // + time and SN = 20 columns
const char kModel[] = "BENCH";

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string Fixture() {
  const char* dir = std::getenv("MONITOR_FIXTURES_DIR");
  std::string base = dir ? dir : std::string(MONITOR_SOURCE_DIR) + "/../shared/fixtures";
  return base + "/xls/lo_empty_3sheets.xls";
}

// The unit's items in list 1 of the monitor window, as the host feeds them.
void FeedUnit(CMonitorDialog& dlg, int unit) {
  dlg.DeleteAllItems(1);
  for (int i = 1; i <= kItems; ++i)
    dlg.InsertItem(1, "Item" + std::to_string(i), i % 3 == 0 ? std::string("PASS") : std::to_string(unit * 100 + i) + ".5");
  dlg.SetSerialNumber(1, "UNIT" + std::to_string(unit));
}

// The model sheet with its header and kRows data rows, written in one commit.
bool Prepare(const std::string& path) {
  CSpreadSheet sheet(path, kModel, false);
  sheet.BeginTransaction();
  std::vector<std::string> header{platform::Gbk(u8"时间"), "SN"};
  for (int i = 1; i <= kItems; ++i) header.push_back("Item" + std::to_string(i));
  if (!sheet.AddHeaders(header)) return false;
  std::vector<std::string> row(header.size());
  for (int r = 0; r < kRows; ++r) {
    row[0] = platform::Gbk(u8"当前日期：2026/12/05  11:55:18");
    row[1] = "SN" + std::to_string(100000 + r);
    for (int i = 0; i < kItems; ++i) row[2 + i] = (i % 3 == 2) ? "PASS" : std::to_string(r % 997) + "." + std::to_string(i);
    if (!sheet.AddRow(row)) return false;
  }
  if (!sheet.Commit()) {
    std::fprintf(stderr, "prepare: %s\n", sheet.m_strLastError.c_str());
    return false;
  }
  return true;
}

// One export by a process that has not touched the workbook before (a station
// just started): run as `bench_pcb_export --cold-export DIR`.
int ColdExport(const std::string& dir) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  CMonitorDialog dlg;
  dlg.m_rcScreen = platform::CRect(0, 0, 1280, 800);
  if (!dlg.Create(CMonitorDialog::IDD)) return 1;
  platform::PumpMessages();
  platform::ScopedExeDirectoryOverride exeDir(dir);
  ResultStructrue record;
  record.strModel = kModel;
  FeedUnit(dlg, 999);
  auto start = Clock::now();
  int ok = dlg.SaveResult2EXL(1, &record);
  double ms = Ms(Clock::now() - start);
  if (!ok) return 1;
  std::printf("cold %.1f\n", ms);
  return 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--cold-export") return ColdExport(argv[2]);
  int exports = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  namespace fs = std::filesystem;
  std::string tmpl = (fs::temp_directory_path() / "bench-pcb-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) return 1;
  fs::path dir = tmpl;
  std::string pcb = (dir / "PCB.xls").string();
  std::string pyCopy = (dir / "python.xls").string();
  fs::copy_file(Fixture(), pcb);

  auto t0 = Clock::now();
  if (!Prepare(pcb)) {
    std::fprintf(stderr, "bench_pcb_export: cannot prepare the workbook\n");
    return 1;
  }
  std::printf("workbook: %d rows x %d text columns in sheet %s beside 3 other sheets, %.1f MB, written in %.0f ms\n",
              kRows, kItems + 2, kModel, fs::file_size(pcb) / 1e6, Ms(Clock::now() - t0));
  fs::copy_file(pcb, pyCopy);

  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  CMonitorDialog dlg;
  dlg.m_rcScreen = platform::CRect(0, 0, 1280, 800);
  if (!dlg.Create(CMonitorDialog::IDD)) {
    std::fprintf(stderr, "bench_pcb_export: cannot create the monitor window\n");
    return 1;
  }
  platform::PumpMessages();

  platform::ScopedExeDirectoryOverride exeDir(dir.string());
  ResultStructrue record;
  record.strModel = kModel;
  std::vector<double> times;
  for (int unit = 0; unit < exports; ++unit) {
    FeedUnit(dlg, unit);
    auto start = Clock::now();
    int ok = dlg.SaveResult2EXL(1, &record);
    double ms = Ms(Clock::now() - start);
    if (!ok) {
      std::fprintf(stderr, "export %d failed\n", unit + 1);
      return 1;
    }
    // The first export into an existing sheet also writes the backup sheet.
    std::printf("SaveResult2EXL export %d: %8.1f ms%s\n", unit + 1, ms, unit == 0 ? " (makes the backup sheet)" : "");
    std::fflush(stdout);
    times.push_back(ms);
  }
  std::vector<double> steady(times.begin() + (times.size() > 1 ? 1 : 0), times.end());

  // The same export from a fresh process, which reads the workbook from disk.
  double cold = 0;
  std::string self = fs::read_symlink("/proc/self/exe").string();
  if (FILE* pipe = ::popen(("'" + self + "' --cold-export '" + dir.string() + "' 2>/dev/null").c_str(), "r")) {
    char line[128];
    while (std::fgets(line, sizeof line, pipe))
      if (std::sscanf(line, "cold %lf", &cold) == 1) std::printf("SaveResult2EXL by a new process: %8.1f ms\n", cold);
    ::pclose(pipe);
  }

  // The python script appends `exports` rows the same way and prints its own
  // per-append times; the wall time of the whole run includes interpreter start.
  std::string script = std::string(MONITOR_SOURCE_DIR) + "/bench/pcb_export_xlrd_xlwt.py";
  std::string command = "/usr/bin/python3 '" + script + "' '" + pyCopy + "' " + kModel + " " + std::to_string(exports);
  auto pyStart = Clock::now();
  FILE* pipe = ::popen(command.c_str(), "r");
  std::vector<double> pyTimes;
  if (pipe) {
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
      double ms;
      if (std::sscanf(line, "append %*d: %lf ms", &ms) == 1) pyTimes.push_back(ms);
      std::fputs(("python " + std::string(line)).c_str(), stdout);
    }
    ::pclose(pipe);
  }
  double pyWall = Ms(Clock::now() - pyStart);

  std::printf("\nper export, median: SaveResult2EXL %.1f ms (other sheets and a backup kept) | "
              "python3 xlrd+xlwt %.1f ms (model sheet only) | ratio %.2f\n",
              Median(steady), Median(pyTimes), pyTimes.empty() ? 0.0 : Median(steady) / Median(pyTimes));
  if (cold > 0 && !pyTimes.empty())
    std::printf("first export of a new process: %.1f ms | ratio %.2f\n", cold, cold / Median(pyTimes));
  std::printf("python run with interpreter start: %.0f ms for %d appends\n", pyWall, exports);
  std::error_code ec;
  if (!std::getenv("BENCH_KEEP")) fs::remove_all(dir, ec); else std::printf("kept %s\n", dir.c_str());
  return pyTimes.empty() ? 1 : 0;
}
