// Test item rows: numbering, marks, pass flags, selection, updates, text read-back.
#include "tests/test_monitor_dialog_fixture.h"

#include "monitor/ResultText.h"

using namespace platform;
using monitor_test::OpenMonitor;

namespace {

constexpr int kFail = 0, kPass = 1, kOther = 2;  // row marks; also the pass flags

bool IsSelected(CMyListCtrl* pList, int row) {
  return pList->GetItemState(row, LVIS_SELECTED) != 0;
}

class Rows : public ::testing::Test {
 protected:
  void SetUp() override {
    dlg = OpenMonitor({.rows = 1, .cols = 2});
    ASSERT_TRUE(dlg);
    list = dlg->FindListCtrl(1);
    ASSERT_NE(list, nullptr);
  }
  void ConfigureColumns(std::vector<std::string> weights, std::vector<std::string> names) {
    ASSERT_EQ(dlg->AdjustColumnWidth(0, &weights), 1);
    ASSERT_EQ(dlg->AdjustColumnText(0, &names), 1);
  }
  // One row's texts, mark and pass flag.
  void ExpectRow(int row, const std::vector<std::string>& texts, int mark, unsigned flag) {
    for (int c = 0; c < static_cast<int>(texts.size()); ++c) EXPECT_EQ(list->GetItemText(row, c), texts[c]) << row;
    EXPECT_EQ(list->GetItemImage(row), mark) << row;
    EXPECT_EQ(list->GetItemData(row), flag) << row;
  }
  std::unique_ptr<CMonitorDialog> dlg;
  CMyListCtrl* list = nullptr;
};

}  // namespace

TEST_F(Rows, InsertedRowsAreNumberedAndScrolledIntoView) {
  for (int i = 0; i < 60; ++i) EXPECT_EQ(dlg->InsertItem(1, "item" + std::to_string(i), "PASS"), 1);
  for (int i : {0, 1, 2, 59}) ExpectRow(i, {monitor::RowNumber(i), "item" + std::to_string(i)}, kPass, 1);
  const int top = list->GetTopIndex();
  EXPECT_GT(top, 0);
  EXPECT_LE(59, top + list->GetCountPerPage() - 1);
  EXPECT_EQ(dlg->FindListCtrl(2)->GetItemCount(), 0);
}

TEST_F(Rows, ResultClassGivesMarkFlagAndSelection) {
  struct Case {
    std::string result, upperCased;
    int mark;
    unsigned flag;
    bool selected;
  };
  const Case cases[] = {{"pass", "PASS", kPass, 1, false},
                        {"Open fAiL", "OPEN FAIL", kFail, 0, true},
                        {"12.1V", "12.1V", kOther, 2, false},
                        // Both words: a pass, shown selected because the text holds FAIL.
                        {"fail then pass", "FAIL THEN PASS", kPass, 1, true}};
  int row = 0;
  for (Case c : cases) {
    const std::string shown = c.result;
    ASSERT_EQ(dlg->InsertItem(1, "Item", c.result), 1);
    EXPECT_EQ(c.result, c.upperCased);  // the host's string, upper-cased in place
    ExpectRow(row, {monitor::RowNumber(row), "Item", shown}, c.mark, c.flag);
    EXPECT_EQ(IsSelected(list, row), c.selected) << shown;
    EXPECT_EQ(list->GetItemState(row, LVIS_FOCUSED), 0u) << shown;
    ++row;
  }
}

TEST_F(Rows, UnknownListsChangeNothing) {
  std::string result = "pass";
  EXPECT_EQ(dlg->InsertItem(9, "x", result), 0);
  EXPECT_EQ(result, "pass");
  EXPECT_EQ(dlg->SetItem(0, 0, "x", "PASS"), 0);
  EXPECT_EQ(dlg->SetItemExt(9, "x", "PASS"), 0);
  std::vector<std::string> texts{"a", "b", "c"};
  EXPECT_EQ(dlg->InsertItemExt(9, &texts), 0);
  EXPECT_EQ(dlg->DeleteAllItems(9), 0);
  EXPECT_EQ(dlg->SetSerialNumber(9, "SN"), 0);
  EXPECT_EQ(dlg->SetType(-1, "IPC"), 0);
  std::string out = "kept";
  dlg->GetResult(9, out);
  EXPECT_EQ(out, "kept");
  EXPECT_EQ(list->GetItemCount(), 0);
}

TEST_F(Rows, SetItemRewritesAnExistingRowAndCountsOnlyPass) {
  dlg->InsertItem(1, "a", "PASS");
  dlg->InsertItem(1, "b", "FAIL");
  ASSERT_EQ(dlg->SetItem(1, 1, "b2", "Pass"), 1);
  ExpectRow(1, {"001", "b2", "Pass"}, kPass, 1);
  EXPECT_TRUE(IsSelected(list, 1));  // selection untouched
  ASSERT_EQ(dlg->SetItem(1, 0, "a", "waiting"), 1);
  ExpectRow(0, {"000", "a", "waiting"}, kFail, 0);
  EXPECT_EQ(dlg->SetItem(1, 2, "c", "PASS"), 0);
  EXPECT_EQ(list->GetItemCount(), 2);
}

TEST_F(Rows, SetItemExtUpdatesByItemNameOrAppends) {
  dlg->InsertItem(1, "Network", "FAIL");
  dlg->InsertItem(1, "Audio", "PASS");
  ASSERT_EQ(dlg->SetItemExt(1, "Network", "pass"), 1);
  ASSERT_EQ(list->GetItemCount(), 2);
  ExpectRow(0, {"000", "Network", "pass"}, kPass, 1);
  // The name match is exact and case-sensitive.
  ASSERT_EQ(dlg->SetItemExt(1, "network", "FAIL"), 1);
  ExpectRow(2, {"002", "network", "FAIL"}, kFail, 0);
  // Neither word on an existing row: only its flag and texts change.
  ASSERT_EQ(dlg->SetItemExt(1, "Audio", "retest"), 1);
  ExpectRow(1, {"001", "Audio", "retest"}, kPass, 2);
  // Neither word for a new item: appended with the empty mark, not lost.
  ASSERT_EQ(dlg->SetItemExt(1, "\xcd\xf8\xc2\xe7", "12.1V"), 1);  // 网络
  ASSERT_EQ(list->GetItemCount(), 4);
  ExpectRow(3, {"003", "\xcd\xf8\xc2\xe7", "12.1V"}, kOther, 2);
  // GetResult appends one line per row.
  std::string out = "SN1\n";
  dlg->GetResult(1, out);
  EXPECT_EQ(out, "SN1\nNetwork = pass\nAudio = retest\nnetwork = FAIL\n\xcd\xf8\xc2\xe7 = 12.1V\n");
}

TEST_F(Rows, InsertItemExtWritesOnlyTexts) {
  std::vector<std::string> wrong{"a", "b"};
  EXPECT_EQ(dlg->InsertItemExt(1, &wrong), 0);
  EXPECT_EQ(list->GetItemCount(), 0);
  std::vector<std::string> texts{"A-7", "Fan", "PASS"};
  ASSERT_EQ(dlg->InsertItemExt(1, &texts), 1);
  ASSERT_EQ(list->GetItemCount(), 1);
  ExpectRow(0, texts, -1, 0);
  EXPECT_FALSE(IsSelected(list, 0));
}

TEST_F(Rows, TwoColumnsShowNoResultAndMoreGetEmptyExtraTexts) {
  ConfigureColumns({"1", "3"}, {"Index", "Item"});
  ASSERT_EQ(dlg->InsertItem(1, "Video", "FAIL"), 1);
  ExpectRow(0, {"000", "Video", ""}, kFail, 0);
  EXPECT_FALSE(IsSelected(list, 0));
  ConfigureColumns({"1", "2", "3", "2"}, {"Index", "Item", "Result", "Note"});  // the lists start afresh
  ASSERT_EQ(list->GetColumnCount(), 4);
  EXPECT_EQ(dlg->InsertItem(1, "Video", "PASS"), 1);
  EXPECT_EQ(dlg->SetItem(1, 0, "Video", "FAIL"), 1);
  ExpectRow(0, {"000", "Video", "FAIL", ""}, kFail, 0);
  std::vector<std::string> texts{"x", "Fan", "PASS", "loud"};
  EXPECT_EQ(dlg->InsertItemExt(1, &texts), 1);
  std::string out;
  dlg->GetResult(1, out);  // the last column is the note column now
  EXPECT_EQ(out, "Video = \nFan = loud\n");
}

TEST_F(Rows, AdjustColumnTextRebuildsEveryListOrKeepsNamesForLater) {
  dlg->InsertItem(1, "a", "PASS");
  dlg->InsertItem(2, "b", "PASS");
  std::vector<std::string> wrong{"No", "Test"};
  EXPECT_EQ(dlg->AdjustColumnText(0, &wrong), 0);
  EXPECT_EQ(dlg->m_strColumnNames, wrong);
  EXPECT_EQ(list->GetItemCount(), 1);  // nothing rebuilt
  std::vector<std::string> names{"No", "Test", "Verdict"};
  EXPECT_EQ(dlg->AdjustColumnText(0, &names), 1);
  for (CMyListCtrl* pList : dlg->m_ListCtrls) {
    std::string heading;
    EXPECT_EQ(pList->GetItemCount(), 0);
    ASSERT_EQ(pList->GetColumnCount(), 3);
    pList->GetColumn(2, nullptr, nullptr, &heading);
    EXPECT_EQ(heading, "Verdict");
  }
}

TEST_F(Rows, AdjustColumnWidthAppliesNewWeightsToTheExistingColumns) {
  std::vector<std::string> weights{"1", "1", "2"};
  ASSERT_EQ(dlg->AdjustColumnWidth(5, &weights), 1);
  EXPECT_EQ(dlg->m_nWidthTotal, 4);
  const int w = dlg->m_nCellWidth, rem = w % 3;
  EXPECT_EQ(list->GetColumnWidth(0), (w - rem) / 4);
  EXPECT_EQ(list->GetColumnWidth(2), 2 * (w - rem) / 4 + rem);

  // Fewer weights than columns: the count follows at the next text change.
  std::vector<std::string> two{"1", "1"};
  ASSERT_EQ(dlg->AdjustColumnWidth(0, &two), 1);
  EXPECT_EQ(list->GetColumnCount(), 3);
  ASSERT_EQ(dlg->AdjustColumnText(0, &two), 1);
  EXPECT_EQ(list->GetColumnCount(), 2);

  // No columns at all: nothing divides by zero and rows still go in.
  ConfigureColumns({}, {});
  EXPECT_EQ(dlg->InsertItem(1, "a", "PASS"), 1);
}

TEST_F(Rows, DeleteAllItemsKeepsThePositionRecord) {
  dlg->InsertItem(1, "a", "PASS");
  EXPECT_EQ(dlg->SetSerialNumber(1, "SN0001"), 1);
  EXPECT_EQ(dlg->SetType(1, "IPC"), 1);
  dlg->ViewResult(1, 1);
  ASSERT_EQ(dlg->DeleteAllItems(1), 1);
  EXPECT_EQ(list->GetItemCount(), 0);
  EXPECT_EQ(list->m_strSerialNumber, "SN0001");
  EXPECT_EQ(list->m_strType, "IPC");
  EXPECT_TRUE(monitor_test::ShowsPicture(list, "LISTPASS1"));
  EXPECT_EQ(list->GetColumnCount(), 3);
  EXPECT_EQ(dlg->FindListCtrl(2)->m_strSerialNumber, "");
}

// A modeless host may create the window, feed it and only then show it, or
// feed a list while it keeps the window hidden.
TEST(RowsBeforeShowing, ListsFedBeforeTheWindowIsShownAppearWithIt) {
  auto dlg = std::make_unique<CMonitorDialog>();
  dlg->m_nCols = 2;
  dlg->m_rcScreen = CRect(0, 0, 1920, 1080);
  ASSERT_TRUE(dlg->Create(CMonitorDialog::IDD));
  for (int id : {1, 2}) {
    ASSERT_EQ(dlg->InsertItem(id, "Power", "PASS"), 1);
    dlg->ShowWindow(SW_SHOW);
    PumpMessages();
    for (CMyListCtrl* pList : dlg->m_ListCtrls) EXPECT_TRUE(pList->IsWindowVisible()) << id << pList->m_nListID;
    dlg->ShowWindow(SW_HIDE);
  }
}
