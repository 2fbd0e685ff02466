// Time of CMonitorDialog::InsertItem per row, feeding 1,000 and then 10,000
// rows into one list of an offscreen monitor window. Other row counts can be
// given as arguments: bench_insert_item 100 500
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "platform/Application.h"

namespace {

double MicrosecondsPerRow(CMonitorDialog& dlg, int rows) {
  dlg.DeleteAllItems(1);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rows; ++i) {
    std::string result = i % 10 == 9 ? "Fail" : "pass";
    dlg.InsertItem(1, "Test item " + std::to_string(i), result);
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return std::chrono::duration<double, std::micro>(elapsed).count() / rows;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) {
    const int rows = std::atoi(argv[i]);
    if (rows <= 0) {
      std::fprintf(stderr, "bench_insert_item: row counts are positive numbers, not '%s'\n", argv[i]);
      return 2;
    }
    counts.push_back(rows);
  }
  if (counts.empty()) counts = {1000, 10000};

  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  CMonitorDialog dlg;
  dlg.m_nWndWidth = 1000;
  dlg.m_nWndHeight = 700;
  dlg.m_rcScreen = platform::CRect(0, 0, 1920, 1080);
  if (!dlg.Create(CMonitorDialog::IDD)) {
    std::fprintf(stderr, "bench_insert_item: cannot create the monitor window\n");
    return 1;
  }
  dlg.ShowWindow(platform::SW_SHOW);
  platform::PumpMessages();
  for (int rows : counts) {
    const double us = MicrosecondsPerRow(dlg, rows);
    std::printf("InsertItem, %5d rows into one list: %8.1f us/row\n", rows, us);
    std::fflush(stdout);
  }
  return 0;
}
