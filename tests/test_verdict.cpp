// Verdict display: a list's verdict and picture from the host or from its rows.
#include "tests/test_monitor_dialog_fixture.h"

using monitor_test::OpenMonitor;
using monitor_test::ShowsPicture;

namespace {

struct JudgeCase {
  const char* what;
  std::vector<int> rowFlags;  // 1 pass, 0 fail, 2 neither, 3 texts only (no flag)
  int mode;
  unsigned passFlag;
  int returned, verdict;
  const char* picture;
};

class Verdict : public ::testing::TestWithParam<JudgeCase> {
 protected:
  void SetUp() override {
    dlg = OpenMonitor({.rows = 4, .cols = 4});
    ASSERT_TRUE(dlg);
    list = dlg->FindListCtrl(5);
  }
  void Feed(const std::vector<int>& flags) {
    std::vector<std::string> texts{"1", "Fan", "PASS"};
    for (int flag : flags)
      flag == 3 ? dlg->InsertItemExt(5, &texts) : dlg->InsertItem(5, "item", flag == 1 ? "PASS" : flag ? "12.0V" : "FAIL");
  }
  int Judge(int mode, unsigned passFlag = 1) {
    TestJudgeFLAG judge{.nJudgeMode = mode, .nPassFlag = passFlag};
    return dlg->ViewResult(5, &judge);
  }
  std::unique_ptr<CMonitorDialog> dlg;
  CMyListCtrl* list = nullptr;
};

}  // namespace

TEST_P(Verdict, JudgesTheRowsOfAFreshList) {
  const JudgeCase& c = GetParam();
  Feed(c.rowFlags);
  EXPECT_EQ(Judge(c.mode, c.passFlag), c.returned);
  EXPECT_EQ(list->m_nResult, c.verdict);
  EXPECT_TRUE(ShowsPicture(list, c.picture));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Verdict,
    ::testing::Values(JudgeCase{"AllPassed", {1, 1, 1}, 1, 1, 1, 1, "LISTPASS5"},
                      JudgeCase{"OnlyBitZeroOfThePassFlag", {1}, 1, 0xFFFFFFFEu, 0, 0, "LISTFAIL5"},
                      JudgeCase{"OneFailedRow", {1, 0, 1}, 1, 1, 0, 0, "LISTFAIL5"},
                      JudgeCase{"NeitherRowsSkipped", {2, 1}, 1, 1, 1, 1, "LISTPASS5"},
                      JudgeCase{"OnlyNeitherRowsKeepFreshFail", {2, 2}, 1, 1, 0, 0, "LISTFAIL5"},
                      JudgeCase{"NoJudgement", {1, 1}, 2, 1, 0, 2, "LIST5"},
                      JudgeCase{"NoJudgementOnEmptyList", {}, 2, 1, 0, 0, "LISTFAIL5"},
                      JudgeCase{"UnitFailed", {1, 1}, 0, 1, 0, 0, "LISTFAIL5"},
                      JudgeCase{"TextsOnlyRowsCountAsFailed", {1, 3}, 1, 1, 0, 0, "LISTFAIL5"}),
    [](const ::testing::TestParamInfo<JudgeCase>& info) { return std::string(info.param.what); });

// The host's own verdict; a missing record or list changes nothing.
TEST_F(Verdict, HostVerdictSwapsThePicture) {
  for (auto [verdict, expected, picture] : {std::tuple{0, 0, "LISTFAIL5"}, {7, 1, "LISTPASS5"}}) {
    EXPECT_EQ(dlg->ViewResult(5, verdict), 1);
    EXPECT_EQ(list->m_nResult, expected);
    EXPECT_TRUE(ShowsPicture(list, picture)) << verdict;
  }
  EXPECT_EQ(std::make_tuple(dlg->ViewResult(17, 1), dlg->ViewResult(5, nullptr)), std::make_tuple(0, 0));
  EXPECT_EQ(list->m_nResult, 1);
  EXPECT_TRUE(ShowsPicture(dlg->FindListCtrl(6), "LIST6"));
}

TEST_F(Verdict, NeitherRowsAndUnknownModesKeepTheVerdictBefore) {
  Feed({2, 2});
  dlg->ViewResult(5, 1);
  EXPECT_EQ(Judge(1), 1);
  Feed({0});
  EXPECT_EQ(Judge(9), 1);  // unknown mode: the verdict stays PASS
  Judge(2);
  EXPECT_EQ(Judge(-1), 0);  // ... and undetermined stays undetermined
  EXPECT_EQ(list->m_nResult, 2);
  EXPECT_TRUE(ShowsPicture(list, "LIST5"));
}
