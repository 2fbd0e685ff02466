// A row call shows its effect before it returns: what the window's backing
// store holds right after the call, with no event processed in between, is
// what a fresh rendering of the list shows.
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "tests/test_monitor_dialog_fixture.h"

using namespace platform;
using monitor_test::OpenMonitor;

namespace {

// The list as the window shows it now, and as it renders afresh.
void ExpectShownAsRendered(CMonitorDialog& dlg, CMyListCtrl* list, const std::string& step) {
  QWidget* widget = list->GetQWidget();
  const QRect inWindow(widget->mapTo(dlg.GetQWidget(), QPoint(0, 0)), widget->size());
  const QImage shown =
      QGuiApplication::primaryScreen()
          ->grabWindow(dlg.GetQWidget()->winId(), inWindow.x(), inWindow.y(), inWindow.width(), inWindow.height())
          .toImage()
          .convertToFormat(QImage::Format_RGB32);
  // Rendered with the window around it, which shows where the list paints
  // nothing (past the last header section).
  const QImage rendered = dlg.GetQWidget()->grab(inWindow).toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), rendered.size()) << step;
  int differing = 0;
  QRect where;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      if (shown.pixel(x, y) != rendered.pixel(x, y)) {
        ++differing;
        where |= QRect(x, y, 1, 1);
      }
  EXPECT_EQ(differing, 0) << step << ": the window still shows something else, in " << where.x() << "," << where.y()
                          << " " << where.width() << " x " << where.height();
}

TEST(RowsShown, EveryRowCallIsOnScreenWhenItReturns) {
  auto dlg = OpenMonitor({.rows = 1, .cols = 2, .width = 640, .height = 360});
  ASSERT_TRUE(dlg);
  CMyListCtrl* list = dlg->FindListCtrl(2);
  for (int i = 0; i < 24; ++i) {
    // Longer and longer names widen the item column as the rows come.
    dlg->InsertItem(2, "Test item " + std::string(static_cast<size_t>(i), 'x'), i % 5 == 4 ? "FAIL" : "PASS");
    ExpectShownAsRendered(*dlg, list, "insert " + std::to_string(i));
  }
  dlg->SetItem(2, 22, "Renamed item", "FAIL");
  ExpectShownAsRendered(*dlg, list, "set item");
  dlg->SetItemExt(2, "New item", "12.1V");
  ExpectShownAsRendered(*dlg, list, "new item by name");
  std::vector<std::string> texts{"", "Whole row", "12.1V"};
  dlg->InsertItemExt(2, &texts);
  ExpectShownAsRendered(*dlg, list, "whole row inserted");
  dlg->ViewResult(2, 1);
  ExpectShownAsRendered(*dlg, list, "verdict");
  dlg->DeleteAllItems(2);
  ExpectShownAsRendered(*dlg, list, "cleared");
}

}  // namespace
