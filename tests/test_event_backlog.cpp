// A host that never returns to an event loop: whatever the monitor's calls
// leave queued for a loop must not grow with the number of calls. Each case
// runs some units without pumping, then counts what one pump delivers; many
// units must leave no more than a few do.
#include <QApplication>
#include <QObject>
#include <functional>

#include "tests/support/UnitWork.h"
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

// Editing must really commit, or the case measures nothing.
void EditUnit(CMonitorDialog& dlg, int unit) {
  ASSERT_TRUE(unitwork::EditUnit(dlg, unit));
  ASSERT_EQ(dlg.FindListCtrl(1)->GetItemText(1, 2), std::to_string(unit % 10)) << "the edit was not committed";
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
                         ::testing::Values(std::pair<const char*, Unit>{"inserts", unitwork::FillUnit},
                                           std::pair<const char*, Unit>{"editor", EditUnit}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
