// Cost of one CMonitorDialog::SaveResult2EXL (list 1 of an offscreen monitor
// window, 18 items) into a model sheet that already holds 20,000 rows of 20
// text columns, beside a python3 xlrd + xlwt script doing the same append
// (load, add one row, write back; it keeps only the model sheet) on a copy of
// the same workbook, measured in the same run.
//
// Printed: the export repeated in one process (as at a station), the first
// export of a fresh process (a new exec, as after another station wrote the
// workbook), the script's time, their ratios, and the fresh process's peak
// memory during the export against the workbook's size.
//
// Usage: bench_pcb_export [exports] [fresh runs]   (defaults 5 and 3)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The unit's items in list 1 of the monitor window, as the host feeds them.
void FeedUnit(CMonitorDialog& dlg, int unit) {
  dlg.DeleteAllItems(1);
  for (int i = 1; i <= kItems; ++i)
    dlg.InsertItem(1, "Item" + std::to_string(i),
                   i % 3 == 0 ? std::string("PASS") : std::to_string(unit * 100 + i) + ".5");
  dlg.SetSerialNumber(1, "UNIT" + std::to_string(unit));
}

// A workbook with three small sheets and the model sheet with its header and
// kRows data rows, the model sheet written in one commit.
bool Prepare(const std::string& path) {
  for (const char* other : {"Sheet1", "Sheet2", "Sheet3"}) {
    CSpreadSheet sheet(path, other, false);
    if (!sheet.AddHeaders({"A", "B"})) return false;
  }
  CSpreadSheet sheet(path, kModel, false);
  sheet.BeginTransaction();
  std::vector<std::string> header{platform::Gbk(u8"时间"), "SN"};
  for (int i = 1; i <= kItems; ++i) header.push_back("Item" + std::to_string(i));
  if (!sheet.AddHeaders(header)) return false;
  std::vector<std::string> row(header.size());
  for (int r = 0; r < kRows; ++r) {
    row[0] = platform::Gbk(u8"当前日期：2026/12/05  11:55:18");
    row[1] = "SN" + std::to_string(100000 + r);
    for (int i = 0; i < kItems; ++i)
      row[2 + i] = (i % 3 == 2) ? "PASS" : std::to_string(r % 997) + "." + std::to_string(i);
    if (!sheet.AddRow(row)) return false;
  }
  if (!sheet.Commit()) {
    std::fprintf(stderr, "prepare: %s\n", sheet.m_strLastError.c_str());
    return false;
  }
  return true;
}

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
  return 0;
}

// One export by a process that has not touched the workbook before (a station
// just started): `bench_pcb_export --cold-export DIR` prints
// "cold <ms> <KB resident before> <KB peak during the export>".
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
  long before = StatusKb("VmRSS:");
  std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
  auto start = Clock::now();
  int ok = dlg.SaveResult2EXL(1, &record);
  double ms = Ms(Clock::now() - start);
  long peak = StatusKb("VmHWM:");
  if (!ok) return 1;
  std::printf("cold %.1f %ld %ld\n", ms, before, peak);
  return 0;
}

struct FreshRun {
  double ms = 0;
  long rssBeforeKb = 0, peakKb = 0, maxRssKb = 0;
};

// A fresh exec of this program doing one export; false when it failed.
bool RunFresh(const std::string& self, const std::string& dir, FreshRun& run) {
  int out[2];
  if (::pipe(out) != 0) return false;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    if (!std::freopen("/dev/null", "w", stderr)) ::_exit(126);
    ::execl(self.c_str(), self.c_str(), "--cold-export", dir.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string text;
  char buf[256];
  for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
  ::close(out[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  run.maxRssKb = usage.ru_maxrss;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
         std::sscanf(text.c_str(), "cold %lf %ld %ld", &run.ms, &run.rssBeforeKb, &run.peakKb) == 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--cold-export") return ColdExport(argv[2]);
  int exports = argc > 1 ? std::max(2, std::atoi(argv[1])) : 5;
  int freshRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  namespace fs = std::filesystem;
  std::string tmpl = (fs::temp_directory_path() / "bench-pcb-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) return 1;
  fs::path dir = tmpl;
  std::string pcb = (dir / "PCB.xls").string();
  std::string pyCopy = (dir / "python.xls").string();

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

  std::vector<double> times;
  {
    platform::ScopedExeDirectoryOverride exeDir(dir.string());
    ResultStructrue record;
    record.strModel = kModel;
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
  }
  std::vector<double> steady(times.begin() + 1, times.end());

  // The same export by fresh processes, which read the workbook from disk.
  const double fileMb = fs::file_size(pcb) / 1048576.0;
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::vector<double> fresh;
  std::vector<FreshRun> runs;
  for (int i = 0; i < freshRuns; ++i) {
    FreshRun run;
    if (!RunFresh(self, dir.string(), run)) {
      std::fprintf(stderr, "bench_pcb_export: the fresh-process export failed\n");
      return 1;
    }
    std::printf(
        "SaveResult2EXL by a new process: %8.1f ms, resident %.1f MB before, peak %.1f MB during it "
        "(ru_maxrss %.1f MB)\n",
        run.ms, run.rssBeforeKb / 1024.0, run.peakKb / 1024.0, run.maxRssKb / 1024.0);
    std::fflush(stdout);
    fresh.push_back(run.ms);
    runs.push_back(run);
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
  if (pyTimes.empty()) {
    std::fprintf(stderr, "bench_pcb_export: the python3 xlrd/xlwt script gave no figures\n");
    return 1;
  }
  const double py = Median(pyTimes);

  // Growth of the resident set over what the process held before the export.
  long growthKb = 0;
  for (const FreshRun& r : runs) growthKb = std::max(growthKb, r.peakKb - r.rssBeforeKb);
  const double limitMb = 2 * fileMb + 4;
  std::printf("\npython3 xlrd+xlwt (model sheet only), median per append: %.1f ms\n", py);
  std::printf("repeated export in one process, median: %.1f ms | ratio %.3f (target <= 0.03)\n", Median(steady),
              Median(steady) / py);
  std::printf("first export of a fresh process, median: %.1f ms | ratio %.3f (target <= 0.05)\n", Median(fresh),
              Median(fresh) / py);
  std::printf(
      "memory of the fresh export: %.1f MB over the %.1f MB the process held before; workbook %.1f MB, "
      "target <= 2 x file + 4 MB = %.1f MB: %s\n",
      growthKb / 1024.0, runs.front().rssBeforeKb / 1024.0, fileMb, limitMb,
      growthKb / 1024.0 <= limitMb ? "met" : "missed");
  std::printf("python run with interpreter start: %.0f ms for %d appends\n", pyWall, exports);
  std::error_code ec;
  if (!std::getenv("BENCH_KEEP"))
    fs::remove_all(dir, ec);
  else
    std::printf("kept %s\n", dir.c_str());
  return 0;
}
