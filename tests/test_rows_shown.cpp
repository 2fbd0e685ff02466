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
  dlg->SetItemExt(2, "Renamed item", "PASS");
  ExpectShownAsRendered(*dlg, list, "set item by name");
  dlg->SetItemExt(2, "New item", "12.1V");
  ExpectShownAsRendered(*dlg, list, "new item by name");
  std::vector<std::string> texts{"", "Whole row", "12.1V"};
  dlg->InsertItemExt(2, &texts);
  ExpectShownAsRendered(*dlg, list, "whole row inserted");
  dlg->ViewResult(2, 1);
  ExpectShownAsRendered(*dlg, list, "verdict");
  dlg->DeleteAllItems(2);
  ExpectShownAsRendered(*dlg, list, "cleared");
  dlg->InsertItem(2, "After clearing", "PASS");
  ExpectShownAsRendered(*dlg, list, "insert into the cleared list");
}

TEST(RowsShown, ScrolledRowsMoveOverTheFixedPicture) {
  auto dlg = OpenMonitor({.rows = 1, .cols = 1, .width = 640, .height = 360});
  ASSERT_TRUE(dlg);
  CMyListCtrl* list = dlg->FindListCtrl(1);
  for (int i = 0; i < 40; ++i) dlg->InsertItem(1, "Test item " + std::to_string(i), "PASS");
  PumpMessages();
  const auto scroll = [&](int rows, const std::string& when) {
    list->Scroll(CSize(0, rows * list->GetRowHeight()));
    PumpMessages();
    ExpectShownAsRendered(*dlg, list, when + "scrolled by " + std::to_string(rows) + " rows");
  };
  for (int rows : {-3, -10, 4, 1, -1}) scroll(rows, "");
  // A verdict brings another picture: rows scroll over that one now, also
  // when its shape differs from the last one.
  for (int verdict : {0, 1}) {
    dlg->ViewResult(1, verdict);
    PumpMessages();
    for (int rows : {-1, 2, 1}) scroll(rows, "verdict " + std::to_string(verdict) + ", ");
  }
  list->m_bmpBack.DeleteObject();
  ASSERT_TRUE(list->m_bmpBack.LoadBitmap("LIST8"));
  list->Invalidate(TRUE);
  PumpMessages();
  for (int rows : {-1, 2, 1, -1}) scroll(rows, "another picture, ");
}

}  // namespace
