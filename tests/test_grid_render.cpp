// Renders a judged 2 x 2 monitor offscreen and checks what an operator
// would see: green behind the passed list, red behind the failed one, white
// behind the idle ones, the dialog's colour between them, and row text drawn
// over the pictures.
#include "tests/test_monitor_dialog_fixture.h"

#include <QColor>
#include <algorithm>
#include <QWidget>

using namespace platform;
using monitor_test::ListRectInDialog;
using monitor_test::OpenMonitor;

namespace {

bool Near(QColor c, QColor want) {
  return std::abs(c.red() - want.red()) <= 24 && std::abs(c.green() - want.green()) <= 24 &&
         std::abs(c.blue() - want.blue()) <= 24;
}

}  // namespace

TEST(GridRender, JudgedListsShowTheirColoursWithTextOverThem) {
  auto dlg = OpenMonitor({.rows = 2, .cols = 2, .width = 900, .height = 640});
  ASSERT_TRUE(dlg);
  dlg->InsertItem(1, "\xcd\xf8\xc2\xe7\xc1\xac\xbd\xd3", "PASS");  // 网络连接
  dlg->InsertItem(2, "Infrared", "FAIL");
  dlg->InsertItem(4, "Power", "12.1V");
  TestJudgeFLAG judge{.nJudgeMode = 1, .nPassFlag = 1};
  EXPECT_EQ(dlg->ViewResult(1, &judge), 1);
  EXPECT_EQ(dlg->ViewResult(2, &judge), 0);
  PumpMessages();
  const QImage image = dlg->GetQWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);

  // Passed, failed, idle, and fed but not judged: a point of each picture
  // clear of rows, header and scroll bars.
  const QColor expected[] = {Qt::green, Qt::red, Qt::white, Qt::white};
  for (int id = 1; id <= 4; ++id) {
    const CRect rc = ListRectInDialog(dlg.get(), dlg->FindListCtrl(id));
    EXPECT_TRUE(Near(image.pixelColor(rc.left + 6, rc.bottom - 24), expected[id - 1])) << id;
  }
  const CRect first = ListRectInDialog(dlg.get(), dlg->FindListCtrl(1));
  EXPECT_TRUE(Near(image.pixelColor(first.right + 1, first.top + 40), QColor(196, 196, 255)));

  // Dark ink inside row 0 of lists 1 and 2, none there in the empty list 3.
  CRect row;
  dlg->FindListCtrl(1)->GetItemRect(0, &row, LVIR_BOUNDS);
  for (int id : {1, 2, 3}) {
    const CRect rc = ListRectInDialog(dlg.get(), dlg->FindListCtrl(id));
    int dark = 0;
    for (int y = rc.top + row.top; y < rc.top + row.bottom; ++y)
      for (int x = rc.left + 2; x < rc.right - 20; ++x)
        dark += std::max({qRed(image.pixel(x, y)), qGreen(image.pixel(x, y)), qBlue(image.pixel(x, y))}) < 90;
    EXPECT_EQ(dark > 20, id != 3) << id << ": " << dark;
  }
}
