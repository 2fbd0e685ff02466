// Time of CMonitorDialog::InsertItem per row, feeding 1,000 and then 10,000
// rows into one list of an offscreen monitor window, next to a plain Qt table
// view of the same size fed the same rows and repainted after every row, in
// the same run. Also SetItem and SetItemExt on the filled list. Other row
// counts can be given as arguments: bench_insert_item 100 500
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <algorithm>
#include <vector>

#include <QApplication>
#include <QStandardItemModel>
#include <QTableView>

#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "platform/Application.h"

namespace {

using Clock = std::chrono::steady_clock;

double MicrosecondsSince(Clock::time_point start, int count) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

double MicrosecondsPerRow(CMonitorDialog& dlg, int rows) {
  dlg.DeleteAllItems(1);
  const auto start = Clock::now();
  for (int i = 0; i < rows; ++i) {
    std::string result = i % 10 == 9 ? "Fail" : "pass";
    dlg.InsertItem(1, "Test item " + std::to_string(i), result);
  }
  return MicrosecondsSince(start, rows);
}

// SetItem on rows spread over the list, then SetItemExt naming items near
// the end (found by name) and new items (appended).
double MicrosecondsPerSetItem(CMonitorDialog& dlg, int rows, int calls) {
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) dlg.SetItem(1, (i * 7919) % rows, "Test item", i % 2 ? "PASS" : "FAIL");
  return MicrosecondsSince(start, calls);
}
double MicrosecondsPerSetItemExt(CMonitorDialog& dlg, int rows, int calls) {
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) {
    const std::string name = i % 2 ? "Test item " + std::to_string(rows - 1 - i) : "Extra item " + std::to_string(i);
    dlg.SetItemExt(1, name, i % 3 ? "PASS" : "FAIL");
  }
  return MicrosecondsSince(start, calls);
}

// The reference: a plain Qt table of three columns in a window of the same
// size, a row appended, scrolled to and repainted at once for every row.
double ReferenceMicrosecondsPerRow(QTableView& view, QStandardItemModel& model, int rows) {
  model.removeRows(0, model.rowCount());
  QCoreApplication::processEvents();
  const auto start = Clock::now();
  for (int i = 0; i < rows; ++i) {
    QList<QStandardItem*> cells{new QStandardItem(QString::asprintf("%03d", i)),
                                new QStandardItem(QStringLiteral("Test item %1").arg(i)),
                                new QStandardItem(i % 10 == 9 ? QStringLiteral("FAIL") : QStringLiteral("PASS"))};
    model.appendRow(cells);
    view.scrollToBottom();
    view.viewport()->repaint();
  }
  const double us = MicrosecondsSince(start, rows);
  QCoreApplication::processEvents();
  return us;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts;
  bool withReference = true;  // --no-reference: the monitor alone, for profiling
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--no-reference") {
      withReference = false;
      continue;
    }
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

  QStandardItemModel model(0, 3);
  model.setHorizontalHeaderLabels({"Index", "Item", "Result"});
  QTableView view;
  view.setModel(&model);
  view.resize(dlg.m_nWndWidth, dlg.m_nWndHeight);
  view.show();
  QCoreApplication::processEvents();

  std::printf("%6s  %12s  %14s  %6s  %12s  %15s\n", "rows", "InsertItem", "Qt table view", "ratio", "SetItem",
              "SetItemExt");
  for (int rows : counts) {
    const double reference = withReference ? ReferenceMicrosecondsPerRow(view, model, rows) : 0.0;
    const double us = MicrosecondsPerRow(dlg, rows);
    const int calls = std::min(rows, 1000);
    const double set = MicrosecondsPerSetItem(dlg, rows, calls);
    const double setExt = MicrosecondsPerSetItemExt(dlg, rows, calls);
    std::printf("%6d  %9.1f us  %11.1f us  %6.3f  %9.1f us  %12.1f us\n", rows, us, reference,
                reference > 0 ? us / reference : 0.0, set, setExt);
    std::fflush(stdout);
  }
  return 0;
}
