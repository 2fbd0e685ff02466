// Resident memory of a station host that keeps its GUI thread busy and never
// returns to an event loop, next to one that pumps after every unit. On a
// 2 x 2 grid, each unit is DeleteAllItems + 40 InsertItem into one list (the
// lists in turn); the cell editor case opens and commits an editor per unit;
// the zoom case zooms one list and lays the grid out again per unit.
//
//   bench_unpumped_memory [units]      (default 2000)
//
// Prints, per case and mode, the resident size after the warm-up (a tenth of
// the units) and at the end, and the growth between them. Each case runs in
// a process of its own, so that no case reuses memory another one left.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <iterator>

#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "platform/Application.h"
#include "tests/support/UnitWork.h"

namespace {

double ResidentMegabytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void ZoomUnit(CMonitorDialog& dlg, int unit) {
  dlg.ZoomOut(unit % 4 + 1);
  dlg.UpdateLayout();
}

void Run(const char* name, const std::function<void(CMonitorDialog&, int)>& unit, int units, bool pump) {
  CMonitorDialog dlg;
  dlg.m_nRows = 2;
  dlg.m_nCols = 2;
  dlg.m_nWndWidth = 1000;
  dlg.m_nWndHeight = 700;
  dlg.m_rcScreen = platform::CRect(0, 0, 1920, 1080);
  if (!dlg.Create(CMonitorDialog::IDD)) {
    std::fprintf(stderr, "bench_unpumped_memory: cannot create the monitor window\n");
    std::exit(1);
  }
  dlg.ShowWindow(platform::SW_SHOW);
  platform::PumpMessages();
  const int warmUp = std::max(1, units / 10);
  double start = 0;
  for (int u = 0; u < units; ++u) {
    if (u == warmUp) start = ResidentMegabytes();
    unit(dlg, u);
    if (pump) platform::PumpMessages();
  }
  const double end = ResidentMegabytes();
  std::printf("%-22s %-11s units %5d: %7.1f MB after warm-up, %7.1f MB at the end, growth %+6.1f MB\n", name,
              pump ? "pumped" : "not pumped", units, start, end, end - start);
  std::fflush(stdout);
  dlg.DestroyWindow();
  platform::PumpMessages();
}

struct Case {
  const char* name;
  void (*unit)(CMonitorDialog&, int);
};
void EditUnit(CMonitorDialog& dlg, int unit) {
  unitwork::EditUnit(dlg, unit);
}
constexpr Case kCases[] = {
    {"clear + 40 inserts", unitwork::FillUnit}, {"cell editor", EditUnit}, {"zoom and grid", ZoomUnit}};

}  // namespace

int main(int argc, char** argv) {
  int units = 2000;
  if (argc > 1) {
    units = std::atoi(argv[1]);
    if (units <= 0) {
      std::fprintf(stderr, "bench_unpumped_memory: the unit count is a positive number, not '%s'\n", argv[1]);
      return 2;
    }
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (argc > 3) {  // one case in this process: units, case index, pump
    const int index = std::atoi(argv[2]);
    if (index < 0 || index >= static_cast<int>(std::size(kCases))) return 2;
    platform::EnsureApplication();
    Run(kCases[index].name, kCases[index].unit, units, std::atoi(argv[3]) != 0);
    return 0;
  }
  int failed = 0;
  for (int pump : {0, 1})
    for (size_t i = 0; i < std::size(kCases); ++i) {
      pid_t child = fork();
      if (child == 0) {
        const std::string n = std::to_string(units), c = std::to_string(i), p = std::to_string(pump);
        execl("/proc/self/exe", argv[0], n.c_str(), c.c_str(), p.c_str(), static_cast<char*>(nullptr));
        _exit(127);
      }
      int status = 0;
      if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
    }
  return failed ? 1 : 0;
}
