// A host that never returns to an event loop: whatever the monitor's calls
// leave queued for a loop must not grow with the number of calls. Each case
// runs some units without pumping, then counts what one pump delivers; many
// units must leave no more than a few do.
#include <QApplication>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>
#include <functional>

#include "monitor/MyEdit.h"
#include "tests/test_monitor_dialog_fixture.h"

using namespace platform;
using monitor_test::OpenMonitor;

namespace {

class EventCounter : public QObject {
 public:
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent*) override {
    ++count;
    return false;
  }
};

// Events delivered by one pump.
int DeliveredByOnePump() {
  EventCounter counter;
  qApp->installEventFilter(&counter);
  PumpMessages();
  qApp->removeEventFilter(&counter);
  return counter.count;
}

using Unit = std::function<void(CMonitorDialog&, int)>;

void FillUnit(CMonitorDialog& dlg, int unit) {
  const int list = unit % 4 + 1;
  dlg.DeleteAllItems(list);
  for (int i = 0; i < 40; ++i) dlg.InsertItem(list, "Test item " + std::to_string(i), i % 10 == 9 ? "FAIL" : "PASS");
}

// Opens the cell editor on a result cell, types a digit and commits with Enter.
void EditUnit(CMonitorDialog& dlg, int unit) {
  CMyListCtrl* list = dlg.FindListCtrl(1);
  if (list->GetItemCount() < 3) FillUnit(dlg, 0);
  list->m_bEditMode = 1;
  list->SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ASSERT_NE(list->EditSubLabel(1, 2), nullptr);
  const QString digit = QString::number(unit % 10);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_0 + unit % 10, Qt::NoModifier, digit);
  QApplication::sendEvent(QApplication::focusWidget(), &key);
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
  QApplication::sendEvent(QApplication::focusWidget(), &enter);
  ASSERT_EQ(list->GetItemText(1, 2), digit.toStdString()) << "the edit was not committed";
}

using Backlog = ::testing::TestWithParam<std::pair<const char*, Unit>>;

TEST_P(Backlog, DoesNotGrowWithTheUnitsRunWithoutAPump) {
  auto dlg = OpenMonitor({.rows = 2, .cols = 2, .width = 1000, .height = 700});
  ASSERT_TRUE(dlg);
  const auto run = [&](int units) {
    for (int u = 0; u < units; ++u) GetParam().second(*dlg, u);
  };
  run(4);  // warm-up: caches filled, scroll bars shown once
  PumpMessages();
  run(4);
  const auto widgetsAfterFew = QApplication::allWidgets().size();
  const int fewBacklog = DeliveredByOnePump();
  run(24);
  const auto widgetsAfterMany = QApplication::allWidgets().size();
  const int manyBacklog = DeliveredByOnePump();
  // Twenty units more than the first time: a backlog of even one event per
  // unit would show.
  EXPECT_LE(manyBacklog, fewBacklog + 10) << "events after 4 units: " << fewBacklog;
  EXPECT_EQ(widgetsAfterMany, widgetsAfterFew) << "widgets of closed windows are kept";
}

INSTANTIATE_TEST_SUITE_P(Units, Backlog,
                         ::testing::Values(std::pair<const char*, Unit>{"inserts", FillUnit},
                                           std::pair<const char*, Unit>{"editor", EditUnit}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
