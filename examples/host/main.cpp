// A station host in a few lines: opens the results monitor with one row of
// two test positions, feeds each position its test items, has both judged and
// prints what the monitor holds. Build it against the installed library:
//   cmake -S examples/host -B build-host && cmake --build build-host   (find_package)
//   c++ -std=c++17 main.cpp $(pkg-config --cflags --libs monitor)       (pkg-config)
// Without a display the monitor runs offscreen, so this also runs on a server.
#include <cstdio>
#include <string>

#include "monitor/MonitorDialog.h"
#include "platform/Application.h"
#include "platform/ModuleVersion.h"

int main() {
  std::printf("monitor %s\n", MonitorModuleVersion());

  CMonitorDialog dlg;  // makes the Qt application object: this host has none
  dlg.m_nRows = 1;
  dlg.m_nCols = 2;
  dlg.m_strTitle = "Final test";  // texts are GBK bytes; ASCII is GBK too
  dlg.m_nWndWidth = 800;
  dlg.m_nWndHeight = 400;
  if (!dlg.Create(CMonitorDialog::IDD)) {
    std::fprintf(stderr, "the monitor window could not be created\n");
    return 1;
  }
  dlg.ShowWindow(platform::SW_SHOW);

  // Position 1: a camera that passes; position 2: a recorder with a bad disk.
  dlg.SetSerialNumber(1, "IPC0001");
  dlg.InsertItem(1, "Network", "pass");  // PASS and FAIL in any case
  dlg.InsertItem(1, "Video out", "PASS");
  dlg.SetSerialNumber(2, "NVR0002");
  dlg.InsertItem(2, "Network", "PASS");
  dlg.InsertItem(2, "Disk", "FAIL: no disk");

  TestJudgeFLAG byRows;  // judge by the rows: PASS when every row passed
  byRows.nJudgeMode = 1;
  byRows.nPassFlag = 1;
  for (int position = 1; position <= 2; ++position) {
    const bool passed = dlg.ViewResult(position, &byRows) == 1;
    std::string rows;
    dlg.GetResult(position, rows);
    std::printf("position %d: %s\n%s", position, passed ? "PASS" : "FAIL", rows.c_str());
  }

  platform::PumpMessages();  // this host has no event loop of its own
  platform::CRect rc;
  dlg.GetWindowRect(&rc);
  std::printf("window %d x %d\n", rc.Width(), rc.Height());
  dlg.DestroyWindow();
  return 0;
}
