#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <functional>

#include "platform/TextCodec.h"
#include "tests/ListTestSupport.h"

using namespace listtest;

namespace {

using ListCtrl = ListFixture;

// The focused row and the selected rows (whose count the list must agree with).
std::pair<int, std::vector<int>> FocusAndSelection(CListCtrl& list) {
  std::vector<int> selected;
  for (int i = list.GetNextItem(-1, LVNI_SELECTED); i != -1; i = list.GetNextItem(i, LVNI_SELECTED))
    selected.push_back(i);
  EXPECT_EQ(list.GetSelectedCount(), selected.size());
  return {list.GetNextItem(-1, LVNI_FOCUSED), selected};
}
using Rows = std::vector<int>;

TEST_F(ListCtrl, CallsOutsideTheColumnsAndRowsAreRefusedAndChangeNothing) {
  int format = -1, width = -1;
  std::string text;
  ASSERT_TRUE(list->GetColumn(1, &format, &width, &text));
  EXPECT_EQ(std::tie(format, width, text), std::make_tuple(LVCFMT_CENTER, 110, std::string("Item")));
  const int refused[] = {list->GetColumn(3, &format, &width, &text),
                         list->GetColumn(-1, &format, &width, &text),
                         list->SetItemText(0, 3, "no column"),
                         list->SetItemText(9, 1, "no row"),
                         list->SetItemState(17, LVIS_SELECTED, LVIS_SELECTED),
                         list->InsertItem(-1, "bad") != -1};
  for (std::size_t i = 0; i < std::size(refused); ++i) EXPECT_FALSE(refused[i]) << i;
  EXPECT_EQ(std::make_tuple(list->GetItemText(9, 1), list->GetItemText(0, -1), list->GetItemCount()),
            std::make_tuple("", "", 5));
}

TEST_F(ListCtrl, SelectionAndTheOneFocusedRowGoWithTheRows) {
  EXPECT_TRUE(list->SetItemState(3, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED));
  EXPECT_EQ(list->GetItemState(3, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED);
  EXPECT_TRUE(list->SetItemState(1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED));
  EXPECT_TRUE(list->SetItemState(2, LVIS_FOCUSED, LVIS_FOCUSED));  // one focused row at a time
  EXPECT_EQ(FocusAndSelection(*list), std::make_pair(2, Rows{1, 3}));
  // Shift extends the selection from the last clicked row (the anchor).
  ClickList(*list, CellCenter(*list, 4, 0));
  ClickList(*list, CellCenter(*list, 2, 0), Qt::ShiftModifier);
  EXPECT_EQ(FocusAndSelection(*list), std::make_pair(2, Rows{2, 3, 4}));
  EXPECT_TRUE(list->DeleteAllItems());
  EXPECT_EQ(FocusAndSelection(*list), std::make_pair(-1, Rows{}));
}

// (Rows scrolled into view as they come: the dialog's row tests.)
TEST_F(ListCtrl, GeometryOfRowsPagesScrollingAndHitTestsOfAScrolledList) {
  const int rowHeight = list->GetRowHeight();
  CRect first;
  ASSERT_TRUE(list->GetItemRect(0, &first, LVIR_BOUNDS));
  EXPECT_GT(first.top, 0);  // below the header
  EXPECT_EQ(Edges(first), Edges(CRect(0, first.top, 60 + 110 + 110, first.top + rowHeight)));

  for (int i = 5; i < 60; ++i) list->InsertItem(i, std::to_string(i));
  CRect client;
  list->GetClientRect(&client);
  const int perPage = list->GetCountPerPage();
  EXPECT_EQ(perPage, (client.Height() - first.top) / rowHeight);

  // Scrolled down, the rows above the top one lie under the header and the
  // row cut by the bottom edge is still on the page: only the rows from the
  // top through the page are walked.
  ASSERT_TRUE(list->Scroll(CSize(0, 10 * rowHeight)));
  const int top = 10;
  ASSERT_EQ(list->GetTopIndex(), top);
  CRect above, partly;
  ASSERT_TRUE(list->GetItemRect(top - 1, &above, LVIR_BOUNDS));
  int column = -1;
  EXPECT_EQ(list->HitTestEx(CPoint(70, above.top + above.Height() / 2), &column), -1);
  EXPECT_EQ(std::make_pair(list->HitTestEx(CPoint(70, first.top), &column), column), std::make_pair(top, 1));
  const int cut = top + perPage;
  ASSERT_TRUE(list->GetItemRect(cut, &partly, LVIR_BOUNDS));
  ASSERT_LT(partly.top, client.bottom);
  EXPECT_EQ(std::make_pair(list->HitTestEx(CPoint(200, partly.top + 1), &column), column), std::make_pair(cut, 2));
}

TEST_F(ListCtrl, CellHitTestWalksTheVisibleRowsAndColumns) {
  CRect bounds;
  list->GetItemRect(2, &bounds, LVIR_BOUNDS);
  const int y = bounds.top + 2;
  // A border between columns belongs to the left column; right of every
  // column, below the rows and in the header there is no cell.
  const struct {
    CPoint pt;
    int row, column;
  } cases[] = {
      {{5, y}, 2, 0},   {{60, y}, 2, 0},    {{61, y}, 2, 1},   {{170, y}, 2, 1},
      {{171, y}, 2, 2}, {{300, y}, -1, -1}, {{10, 1}, -1, -1}, {{10, bounds.top + 10 * list->GetRowHeight()}, -1, -1}};
  for (const auto& c : cases) {
    int column = -1;
    const int row = list->HitTestEx(c.pt, &column);
    EXPECT_EQ(std::make_pair(row, row < 0 ? -1 : column), std::make_pair(c.row, c.column)) << c.pt.x << "," << c.pt.y;
  }
}

TEST_F(ListCtrl, RowMarksComeFromTheSharedImageList) {
  CImageList marks;
  ASSERT_TRUE(marks.Create(16, 16, ILC_COLOR24 | ILC_MASK, 10, 10));
  CBitmap pass, missing;
  ASSERT_TRUE(pass.LoadBitmap(5050));
  EXPECT_EQ(marks.Add(&pass, RGB(255, 0, 0)), 0);
  EXPECT_EQ(marks.Add(&missing, RGB(255, 0, 0)), -1);
  EXPECT_EQ(list->SetImageList(&marks, LVSIL_SMALL), nullptr);
  list->SetItem(0, 0, LVIF_IMAGE, "", 0, 0, 0, 0);
  list->SetTextBkColor(CLR_NONE);
  const QImage image = list->GetQWidget()->grab().toImage();
  CRect icon;
  list->GetItemRect(0, &icon, LVIR_ICON);
  // The tick mark's green shows in row 0's mark area.
  bool green = false;
  for (int x = icon.left; x < icon.right; ++x)
    for (int y = icon.top; y < icon.bottom; ++y) green |= QColor(image.pixel(x, y)) == QColor(0, 255, 0);
  EXPECT_TRUE(green);
}

// A column fitted to its content alone: its widest text, measured here in
// the list's font, and 6 pixels on either side.
int FittedWidth(CListCtrl& list, int column) {
  const QFontMetrics metrics(list.GetQWidget()->font());
  int widest = 0;
  for (int row = 0; row < list.GetItemCount(); ++row)
    widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(list.GetItemText(row, column))));
  return widest + 12;
}

// After every change each column's auto-size is its widest text measured
// directly: the kept widths must follow texts, rows, columns
// and the font.
TEST_F(ListCtrl, AutoSizeFollowsTheWidestTextAsTextsComeAndGo) {
  std::string text = "first column text, long";
  LVITEM item{.mask = LVIF_TEXT, .iItem = 0, .pszText = text.data()};
  QFont font = list->GetQWidget()->font();
  font.setPointSize(font.pointSize() * 2);
  const std::pair<const char*, std::function<void()>> steps[] = {
      {"wider text", [&] { list->SetItemText(2, 1, "the widest item name of all"); }},
      {"narrower", [&] { list->SetItemText(2, 1, "i"); }},
      {"item record", [&] { ASSERT_EQ(list->InsertItem(&item), 0); }},
      {"column in front", [&] { list->InsertColumn(0, "Front", LVCFMT_LEFT, 30); }},
      {"larger font", [&] { list->GetQWidget()->setFont(font); }},
      {"no rows", [&] { list->DeleteAllItems(); }}};
  for (const auto& [what, step] : steps) {
    step();
    for (int c = 0; c < list->GetColumnCount(); ++c)
      EXPECT_EQ(list->GetAutoSizeWidth(c, LVSCW_AUTOSIZE), FittedWidth(*list, c)) << what << " " << c;
  }
}

// With the header: the wider of header and content; the last column takes
// what is left of the client width.
TEST_F(ListCtrl, AutoSizeWithHeaderFollowsARenamedHeaderAndFillsTheLastColumn) {
  list->SetColumnText(1, "A header far wider than any item in it");
  EXPECT_EQ(list->GetAutoSizeWidth(1, LVSCW_AUTOSIZE_USEHEADER),
            QFontMetrics(list->GetQWidget()->font()).horizontalAdvance("A header far wider than any item in it") + 12);
  list->InsertColumn(3, "Tail", LVCFMT_LEFT, 10);
  for (int c = 0; c < 3; ++c) list->SetColumnWidth(c, 20);
  EXPECT_EQ(list->GetAutoSizeWidth(3, 55), -1);  // only the two auto sizes
  CRect client;
  list->GetClientRect(&client);
  EXPECT_EQ(list->GetAutoSizeWidth(3, LVSCW_AUTOSIZE_USEHEADER), client.Width() - 60);
}

// The rows' texts as QPainter::drawText puts them in their cells: cut with
// "..." to the cell, 6 pixels in from either side, in the column's alignment
// (without grid lines).
QImage ExpectedRows(CListCtrl& list, QSize size) {
  QImage expected(size, QImage::Format_RGB32);
  expected.fill(Qt::white);
  QPainter painter(&expected);
  const int rowHeight = list.GetRowHeight();
  const QFont font = list.GetQWidget()->font();
  painter.setFont(font);
  painter.setPen(Qt::black);
  for (int row = 0; row < list.GetItemCount(); ++row) {
    int left = 0;
    for (int c = 0; c < list.GetColumnCount(); ++c) {
      int format = LVCFMT_LEFT;
      list.GetColumn(c, &format, nullptr, nullptr);
      const Qt::Alignment align = c == 0 || format == LVCFMT_LEFT ? Qt::AlignLeft
                                  : format == LVCFMT_RIGHT        ? Qt::AlignRight
                                                                  : Qt::AlignHCenter;
      const QRect cell(left + 6, row * rowHeight, list.GetColumnWidth(c) - 12, rowHeight);
      const QString text = QString::fromStdString(GbkToUtf8(list.GetItemText(row, c)));
      painter.drawText(cell, static_cast<int>(align | Qt::AlignVCenter),
                       QFontMetrics(font).elidedText(text, Qt::ElideRight, cell.width()));
      left += list.GetColumnWidth(c);
    }
  }
  return expected;
}

// Twice each: the second paint draws from what the first one kept; then
// after many rows were painted, which the kept drawings must survive. (A
// font change: the auto-size test.)
TEST_F(ListCtrl, CellTextsAreDrawnAsDrawTextDrawsThem) {
  list->SetExtendedStyle(0);
  list->SetItemText(0, 1, "a name far too long for its column, cut");
  list->SetItemText(1, 1, Gbk(u8"硬盘测试 HDD"));
  list->SetItemText(3, 1, "tab\there");
  const auto check = [&](const char* when) {
    for (int paint = 0; paint < 2; ++paint) {
      const QImage shown = ShownRows(*list);
      EXPECT_EQ(shown, ExpectedRows(*list, shown.size())) << when << " " << paint;
    }
  };
  check("first");
  list->SetColumnWidth(1, 71);
  check("narrower");
  for (int i = 5; i < 700; ++i) {
    list->InsertItem(i, std::to_string(i));
    list->SetItemText(i, 1, "row " + std::to_string(i));
    list->EnsureVisible(i, FALSE);
    list->RedrawWindow();
  }
  list->SetItemText(0, 1, "first again");
  list->EnsureVisible(0, FALSE);
  ASSERT_EQ(list->GetTopIndex(), 0);
  check("many rows");
}

// Operators read Chinese item names: a station without a CJK font would show
// empty boxes while every other check passes.
TEST_F(ListCtrl, GbkTextsAreDrawnAsChineseGlyphs) {
  ASSERT_FALSE(QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
      << "No font with Chinese characters is installed: install fonts-wqy-microhei";
  const auto draw = [&](const QString& text) {
    QImage image(120, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(list->GetQWidget()->font());
    painter.drawText(QRect(0, 0, 120, 30), Qt::AlignLeft | Qt::AlignVCenter, text);
    return image;
  };
  // Unassigned characters draw as boxes, which must look different from 测试项.
  const QString chinese = QString::fromStdU16String(platform::GbkToUtf16("\xB2\xE2\xCA\xD4\xCF\xEE"));
  EXPECT_NE(draw(chinese), draw(QString::fromUtf16(u"\uE000\uE001\uE002")))
      << "Chinese text draws as empty boxes: no CJK font reachable through fontconfig";
}

}  // namespace
