// Verdict display: a list's verdict and picture from the host or from its rows.
#include "tests/test_monitor_dialog_fixture.h"

using monitor_test::OpenMonitor;
using monitor_test::ShowsPicture;

namespace {

class Verdict : public ::testing::Test {
 protected:
  void SetUp() override {
    dlg = OpenMonitor({.rows = 4, .cols = 4});
    ASSERT_TRUE(dlg);
    list = dlg->FindListCtrl(5);
    ASSERT_NE(list, nullptr);
  }
  // Rows with the given pass flags: 1 pass, 0 fail, 2 neither.
  void Feed(std::initializer_list<int> flags) {
    for (int flag : flags) {
      const char* result = flag == 1 ? "PASS" : flag == 0 ? "FAIL" : "12.0V";
      ASSERT_EQ(dlg->InsertItem(5, "item", result), 1);
    }
  }
  int Judge(int mode, unsigned passFlag = 1) {
    TestJudgeFLAG judge;
    judge.nJudgeMode = mode;
    judge.nPassFlag = passFlag;
    return dlg->ViewResult(5, &judge);
  }
  std::unique_ptr<CMonitorDialog> dlg;
  CMyListCtrl* list = nullptr;
};

}  // namespace

TEST_F(Verdict, HostVerdictSwapsThePicture) {
  EXPECT_TRUE(ShowsPicture(list, "LIST5"));
  EXPECT_EQ(dlg->ViewResult(5, 7), 1);
  EXPECT_EQ(list->m_nResult, 1);
  EXPECT_TRUE(ShowsPicture(list, "LISTPASS5"));
  EXPECT_EQ(dlg->ViewResult(5, 0), 1);
  EXPECT_EQ(list->m_nResult, 0);
  EXPECT_TRUE(ShowsPicture(list, "LISTFAIL5"));
  EXPECT_EQ(dlg->ViewResult(0, 1), 0);
  EXPECT_EQ(dlg->ViewResult(17, 1), 0);
  EXPECT_TRUE(ShowsPicture(dlg->FindListCtrl(6), "LIST6"));
}

TEST_F(Verdict, AllRowsPassedShowTheHostsPassFlag) {
  Feed({1, 1, 1});
  EXPECT_EQ(Judge(1, 1), 1);
  EXPECT_EQ(list->m_nResult, 1);
  EXPECT_TRUE(ShowsPicture(list, "LISTPASS5"));
  EXPECT_EQ(Judge(1, 0), 0);
  EXPECT_EQ(list->m_nResult, 0);
  EXPECT_TRUE(ShowsPicture(list, "LISTFAIL5"));
  EXPECT_EQ(Judge(1, 0xFFFFFFFEu), 0);  // only bit 0 counts
  EXPECT_EQ(Judge(1, 3), 1);
}

TEST_F(Verdict, OneFailedRowMakesTheListFail) {
  Feed({1, 0, 1});
  EXPECT_EQ(Judge(1), 0);
  EXPECT_EQ(list->m_nResult, 0);
  EXPECT_TRUE(ShowsPicture(list, "LISTFAIL5"));
}

TEST_F(Verdict, RowsFlaggedNeitherAreSkipped) {
  Feed({2, 1});
  EXPECT_EQ(Judge(1, 1), 1);
  EXPECT_TRUE(ShowsPicture(list, "LISTPASS5"));
}

TEST_F(Verdict, OnlyNeitherRowsKeepThePreviousVerdict) {
  Feed({2, 2});
  EXPECT_EQ(Judge(1), 0);  // a fresh list starts as FAIL
  EXPECT_EQ(list->m_nResult, 0);
  EXPECT_TRUE(ShowsPicture(list, "LISTFAIL5"));
  dlg->ViewResult(5, 1);
  EXPECT_EQ(Judge(1), 1);
  EXPECT_TRUE(ShowsPicture(list, "LISTPASS5"));
}

TEST_F(Verdict, NoJudgementShowsTheIdlePictureOfThatList) {
  Feed({1, 1});
  dlg->ViewResult(5, 1);
  EXPECT_EQ(Judge(2), 0);
  EXPECT_EQ(list->m_nResult, 2);
  EXPECT_TRUE(ShowsPicture(list, "LIST5"));
}

TEST_F(Verdict, NoJudgementOnAnEmptyListIsFail) {
  EXPECT_EQ(Judge(2), 0);
  EXPECT_EQ(list->m_nResult, 0);
  EXPECT_TRUE(ShowsPicture(list, "LISTFAIL5"));
}

TEST_F(Verdict, ModeZeroAlwaysFails) {
  Feed({1, 1});
  EXPECT_EQ(Judge(0), 0);
  EXPECT_EQ(list->m_nResult, 0);
  EXPECT_TRUE(ShowsPicture(list, "LISTFAIL5"));
}

TEST_F(Verdict, UnknownModeKeepsTheVerdict) {
  Feed({1, 0});
  dlg->ViewResult(5, 1);
  EXPECT_EQ(Judge(9), 1);
  EXPECT_EQ(list->m_nResult, 1);
  Judge(2);  // undetermined ...
  EXPECT_EQ(Judge(-1), 0);  // ... stays undetermined: the idle picture
  EXPECT_EQ(list->m_nResult, 2);
  EXPECT_TRUE(ShowsPicture(list, "LIST5"));
}

TEST_F(Verdict, RowsFromInsertItemExtCountAsFailed) {
  std::vector<std::string> texts{"1", "Fan", "PASS"};
  ASSERT_EQ(dlg->InsertItemExt(5, &texts), 1);
  EXPECT_EQ(Judge(1), 0);
  EXPECT_TRUE(ShowsPicture(list, "LISTFAIL5"));
}

TEST_F(Verdict, MissingRecordOrListChangesNothing) {
  Feed({1});
  dlg->ViewResult(5, 1);
  EXPECT_EQ(dlg->ViewResult(5, nullptr), 0);
  EXPECT_EQ(list->m_nResult, 1);
  TestJudgeFLAG judge;
  EXPECT_EQ(dlg->ViewResult(99, &judge), 0);
  EXPECT_TRUE(ShowsPicture(list, "LISTPASS5"));
}
