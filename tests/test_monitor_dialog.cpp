// The monitor window: numbering, pictures, grid layout, zoom, keys, colours.
#include "tests/test_monitor_dialog_fixture.h"

#include "mes/MesEndpoint.h"
#include "monitor/GridGeometry.h"
#include "platform/ScreenWorkArea.h"

using namespace platform;
using monitor_test::ExpectRect;
using monitor_test::ListRectInDialog;
using monitor_test::OpenMonitor;
using monitor_test::ShowsPicture;

TEST(MonitorDialog, MembersBeforeTheWindowExistsChangeNothing) {
  CMonitorDialog dlg;
  EXPECT_EQ(dlg.m_strMesUrl, mes::CS_QuerySN::kDefaultMesUrl);
  dlg.ZoomOut(1);
  EXPECT_EQ(dlg.InsertItem(1, "a", "PASS"), 0);

  // Columns configured before the window is created are the ones it builds.
  std::vector<std::string> weights{"1", "3"}, names{"No", "Test"};
  EXPECT_EQ(dlg.AdjustColumnWidth(0, &weights), 1);
  EXPECT_EQ(dlg.AdjustColumnText(0, &names), 1);
  ASSERT_TRUE(dlg.Create(CMonitorDialog::IDD));
  CMyListCtrl* pList = dlg.FindListCtrl(1);
  std::string heading;
  pList->GetColumn(1, nullptr, nullptr, &heading);
  EXPECT_EQ(std::make_tuple(pList->GetColumnCount(), heading, pList->GetColumnWidth(0)),
            std::make_tuple(2, "Test", (dlg.m_nCellWidth - dlg.m_nCellWidth % 2) / 4));
}

TEST(MonitorDialog, FourByFourGridNumbersRowByRowWithPicturesAndColumns) {
  auto dlg = OpenMonitor({.rows = 4, .cols = 4});
  ASSERT_TRUE(dlg);
  ASSERT_EQ(dlg->m_ListCtrls.size(), 16u);
  int expected = 1;
  for (CMyListCtrl* pList : dlg->m_ListCtrls) {
    EXPECT_EQ(std::make_tuple(pList->m_nListID, pList->m_nRow * 4 + pList->m_nCol + 1, dlg->FindListCtrl(expected)),
              std::make_tuple(expected, expected, pList));
    EXPECT_TRUE(ShowsPicture(pList, "LIST" + std::to_string(expected)));
    EXPECT_EQ(pList->GetImageList(LVSIL_SMALL), &dlg->m_ImageList);
    ++expected;
  }
  EXPECT_EQ(dlg->FindListCtrl(17), nullptr);
  EXPECT_EQ(dlg->GetWindowText(), "Station");
  int fmt = -1;
  std::string text;
  ASSERT_TRUE(dlg->FindListCtrl(16)->GetColumn(2, &fmt, nullptr, &text));
  EXPECT_EQ(std::make_tuple(dlg->FindListCtrl(16)->GetColumnCount(), text, fmt & LVCFMT_JUSTIFYMASK),
            std::make_tuple(3, "Result", LVCFMT_CENTER));
}

TEST(MonitorDialog, GridFollowsTheClientAreaWhenTheWindowIsResized) {
  auto dlg = OpenMonitor({.rows = 2, .cols = 4});
  ASSERT_TRUE(dlg);
  dlg->MoveWindow(10, 10, 1000, 700, TRUE);  // offscreen, without a frame: the client area
  PumpMessages();
  CRect client;
  dlg->GetClientRect(&client);
  ASSERT_EQ(std::make_pair(client.Width(), client.Height()), std::make_pair(1000, 700));

  EXPECT_EQ(dlg->m_nCellWidth, 247);
  EXPECT_EQ(dlg->m_nCellHeight, 349);
  const std::vector<int> widths = monitor::ColumnWidths(247, 3, {"1", "2", "3"}, 6);
  for (CMyListCtrl* pList : dlg->m_ListCtrls) {
    SCOPED_TRACE(pList->m_nListID);
    ExpectRect(ListRectInDialog(dlg.get(), pList), 250 * pList->m_nCol, 351 * pList->m_nRow, 247, 349);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(pList->GetColumnWidth(c), widths[c]);
  }
}

TEST(MonitorDialog, CentresInTheHostRectangleOrElseTheWorkArea) {
  EnsureApplication();  // the screens are known once the application exists
  const CRect work = GetPrimaryWorkArea();
  ASSERT_FALSE(work.IsRectEmpty());
  for (const CRect& area : {CRect(100, 200, 1100, 1000), CRect()}) {
    CMonitorDialog dlg;
    dlg.m_rcScreen = area;
    ASSERT_TRUE(dlg.Create(CMonitorDialog::IDD));
    const CRect expected = area.IsRectEmpty() ? work : area;
    CRect window;
    dlg.GetWindowRect(&window);
    ExpectRect(window, expected.Width() / 2 - 800 / 2 + expected.left, expected.Height() / 2 - 600 / 2 + expected.top,
               800, 600);
    EXPECT_EQ(dlg.GetIcon(TRUE), dlg.m_hIcon);
  }
}

TEST(MonitorDialog, ZoomShowsOneListOverTheClientAreaUntilTheNextLayout) {
  auto dlg = OpenMonitor({.rows = 2, .cols = 2, .title = "Line 3"});
  ASSERT_TRUE(dlg);
  CRect client;
  dlg->GetClientRect(&client);

  dlg->ZoomOut(3);
  CMyListCtrl* pThree = dlg->FindListCtrl(3);
  for (CMyListCtrl* pList : dlg->m_ListCtrls) EXPECT_EQ(pList->IsWindowVisible() != 0, pList == pThree);
  ExpectRect(ListRectInDialog(dlg.get(), pThree), 0, 0, client.Width(), client.Height());
  EXPECT_EQ(pThree->GetColumnWidth(2), monitor::ColumnWidths(client.Width(), 3, {"1", "2", "3"}, 6)[2]);
  EXPECT_EQ(dlg->GetWindowText(), "Line 3 ---- [list03 View] Zoom In");
  EXPECT_EQ(dlg->m_strTitle, "Line 3");

  // A size change returns to the grid; the zoom title stays until the host sets one.
  CRect window;
  dlg->GetWindowRect(&window);
  dlg->MoveWindow(window.left, window.top, window.Width() + 40, window.Height() + 20, TRUE);
  PumpMessages();
  for (CMyListCtrl* pList : dlg->m_ListCtrls) EXPECT_TRUE(pList->IsWindowVisible());
  EXPECT_EQ(dlg->GetWindowText(), "Line 3 ---- [list03 View] Zoom In");

  // An unknown list: all hidden until the next layout.
  dlg->ZoomOut(7);
  EXPECT_FALSE(dlg->FindListCtrl(1)->IsWindowVisible());
  dlg->UpdateLayout();
  EXPECT_TRUE(dlg->FindListCtrl(1)->IsWindowVisible());
}

// (That key presses reach PreTranslateMessage at all: the cell editor test.)
TEST(MonitorDialog, EnterAndEscapeAreSwallowed) {
  auto dlg = OpenMonitor();
  ASSERT_TRUE(dlg);
  for (auto [message, key, swallowed] : {std::tuple<UINT, WPARAM, bool>{WM_KEYDOWN, 13, true}, {WM_CHAR, 27, true},
                                         {WM_KEYLAST, 13, true}, {WM_KEYDOWN, 'A', false}, {WM_LBUTTONDOWN, 13, false}}) {
    MSG msg{dlg->GetSafeHwnd(), message, key};
    EXPECT_EQ(dlg->PreTranslateMessage(&msg) != FALSE, swallowed) << message << " " << key;
  }
}

TEST(MonitorDialog, ZeroRowsOrColumnsBuildOneListWithoutDividingByZero) {
  auto dlg = OpenMonitor({.rows = 0, .cols = 0});
  ASSERT_TRUE(dlg);
  ASSERT_EQ(dlg->m_ListCtrls.size(), 1u);
  EXPECT_EQ(dlg->m_ListCtrls.front()->m_nListID, 1);
  CRect client;
  dlg->GetClientRect(&client);
  EXPECT_EQ(dlg->m_nCellWidth, client.Width());
  EXPECT_EQ(dlg->m_nCellHeight, client.Height());
  // The dialog's own brush for its background only (painted: see the render test).
  EXPECT_EQ(GetBrushColor(dlg->m_hBkBrush), RGB(196, 196, 255));
  EXPECT_EQ(dlg->OnCtlColor(nullptr, dlg.get(), CTLCOLOR_DLG), dlg->m_hBkBrush);
  EXPECT_NE(dlg->OnCtlColor(nullptr, dlg.get(), CTLCOLOR_EDIT), dlg->m_hBkBrush);
}

TEST(MonitorDialog, CreatingTheWindowAgainStartsWithAFreshGrid) {
  auto dlg = OpenMonitor({.rows = 2, .cols = 2});
  ASSERT_TRUE(dlg);
  dlg->InsertItem(1, "item", "PASS");
  ASSERT_TRUE(dlg->DestroyWindow());
  ASSERT_TRUE(dlg->Create(CMonitorDialog::IDD));
  EXPECT_EQ(dlg->m_ListCtrls.size(), 4u);
  ASSERT_NE(dlg->FindListCtrl(1), nullptr);
  EXPECT_EQ(dlg->FindListCtrl(1)->GetItemCount(), 0);
  EXPECT_EQ(dlg->InsertItem(4, "item", "PASS"), 1);
}
