// Renders a judged 2 x 2 monitor offscreen and checks what an
// operator would see: green behind the passed list, red behind the failed
// one, white behind the idle ones, and row text drawn over the pictures.
#include "tests/test_monitor_dialog_fixture.h"

#include <QColor>
#include <QPixmap>
#include <QWidget>

using namespace platform;
using monitor_test::ListRectInDialog;
using monitor_test::OpenMonitor;

namespace {

bool Near(QColor c, int r, int g, int b) {
  return std::abs(c.red() - r) <= 24 && std::abs(c.green() - g) <= 24 && std::abs(c.blue() - b) <= 24;
}

// A point of the list's picture clear of rows, header and scroll bars.
QPoint PictureSample(CMonitorDialog* dlg, CMyListCtrl* pList) {
  const CRect rc = ListRectInDialog(dlg, pList);
  return QPoint(rc.left + 6, rc.bottom - 24);
}

int DarkPixels(const QImage& image, const CRect& area) {
  int dark = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() < 90 && c.green() < 90 && c.blue() < 90) ++dark;
    }
  }
  return dark;
}

}  // namespace

TEST(GridRender, JudgedListsShowTheirColoursWithTextOverThem) {
  auto dlg = OpenMonitor({.rows = 2, .cols = 2, .width = 900, .height = 640});
  ASSERT_TRUE(dlg);
  // "\xcd\xf8\xc2\xe7\xc1\xac\xbd\xd3" is 网络连接 (network link) in GBK.
  dlg->InsertItem(1, "\xcd\xf8\xc2\xe7\xc1\xac\xbd\xd3", "PASS");
  dlg->InsertItem(1, "Video", "PASS");
  dlg->InsertItem(2, "Audio", "PASS");
  dlg->InsertItem(2, "Infrared", "FAIL");
  dlg->InsertItem(4, "Power", "12.1V");
  TestJudgeFLAG judge{.nJudgeMode = 1, .nPassFlag = 1};
  EXPECT_EQ(dlg->ViewResult(1, &judge), 1);
  EXPECT_EQ(dlg->ViewResult(2, &judge), 0);
  PumpMessages();

  const QImage image = dlg->GetQWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  CRect client;
  dlg->GetClientRect(&client);
  ASSERT_EQ(image.width(), client.Width());

  // Passed, failed, idle, and fed but not judged.
  const QRgb expected[] = {qRgb(0, 255, 0), qRgb(255, 0, 0), qRgb(255, 255, 255), qRgb(255, 255, 255)};
  for (int id = 1; id <= 4; ++id) {
    const QColor shown = image.pixelColor(PictureSample(dlg.get(), dlg->FindListCtrl(id)));
    const QColor want(expected[id - 1]);
    EXPECT_TRUE(Near(shown, want.red(), want.green(), want.blue())) << id << " " << shown.name().toStdString();
  }
  // The dialog's own background shows in the gap between the lists.
  const CRect first = ListRectInDialog(dlg.get(), dlg->FindListCtrl(1));
  EXPECT_TRUE(Near(image.pixelColor(first.right + 1, first.top + 40), 196, 196, 255));

  // Row texts are drawn over the pictures: dark ink inside the rows of
  // lists 1 and 2, none in the rows area of the empty list 3.
  for (int id : {1, 2, 3}) {
    CMyListCtrl* pList = dlg->FindListCtrl(id);
    const CRect rc = ListRectInDialog(dlg.get(), pList);
    CRect rows;
    // Row 0 is never selected here; an empty list is measured by list 1's row.
    (pList->GetItemCount() > 0 ? pList : dlg->FindListCtrl(1))->GetItemRect(0, &rows, LVIR_BOUNDS);
    CRect area(rc.left + 2, rc.top + rows.top, rc.right - 20, rc.top + rows.bottom);
    if (id == 3) {
      EXPECT_EQ(DarkPixels(image, area), 0);
    } else {
      EXPECT_GT(DarkPixels(image, area), 20) << id;
    }
  }
}
