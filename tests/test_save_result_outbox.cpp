// Saving units through the monitor dialog with the MES outbox switched on:
// what SaveResult returns, what the MES receives and when, the counts, and
// an outbox file that cannot be used.
#include <algorithm>
#include <fstream>
#include <memory>

#include "monitor/MonitorDialog.h"
#include "platform/Application.h"
#include "results/MesOutboxLock.h"
#include "results/MesOutboxStore.h"
#include "tests/MesDouble.h"
#include "tests/OutboxTestSupport.h"
#include "tests/ResultSavingFixture.h"

namespace {

using namespace results_test;
using Answer = MesDouble::Answer;

class SaveResultOutboxTest : public ResultSavingTest {
 protected:
  void SetUp() override {
    ResultSavingTest::SetUp();
    platform::EnsureApplication();
    m_outbox = m_station / "mes-outbox.db";
  }

  std::unique_ptr<CMonitorDialog> Open(const fs::path& outbox) {
    auto dialog = std::make_unique<CMonitorDialog>();
    dialog->m_strMesUrl = m_mes.Url();
    dialog->m_strMesOutbox = outbox.string();
    EXPECT_TRUE(dialog->Create(CMonitorDialog::IDD));
    return dialog;
  }

  int Save(CMonitorDialog& dialog, const std::string& serial) {
    dialog.DeleteAllItems(1);
    dialog.InsertItem(1, kVersionItem, "V4.1.0,");
    dialog.InsertItem(1, kWebMacItem, "00:11:22:33:44:55,");
    dialog.SetSerialNumber(1, serial);
    ResultStructrue record = UnitRecord(serial);
    return dialog.SaveResult(1, &record);
  }

  std::vector<int> Counts(CMonitorDialog& dialog) {
    int pending = -1, refused = -1, today = -1;
    const int on = dialog.GetMesOutboxCounts(&pending, &refused, &today);
    return {on, pending, refused, today};
  }

  MesDouble m_mes;
  fs::path m_outbox;
};

TEST_F(SaveResultOutboxTest, ReportsWaitWhileTheMesFailsAndGoOutInOrder) {
  auto dialog = Open("");
  EXPECT_EQ(Save(*dialog, "SN2603050001"), 1);
  EXPECT_EQ(Counts(*dialog)[0], 0);  // off

  // Switched on, the MES receives the very values it received without it.
  dialog->m_strMesOutbox = m_outbox.string();
  EXPECT_EQ(Save(*dialog, "SN2603050001"), 1);
  ASSERT_EQ(m_mes.Uploads().size(), 2u);
  EXPECT_EQ(m_mes.Uploads()[1].values, m_mes.Uploads()[0].values);
  EXPECT_EQ(Counts(*dialog), (std::vector<int>{1, 0, 0, 1}));

  m_mes.SetAnswer(Answer::Unavailable503);
  for (const char* sn : {"SN2603050002", "SN2603050003", "SN2603050004"}) EXPECT_EQ(Save(*dialog, sn), 0);
  EXPECT_EQ(Counts(*dialog), (std::vector<int>{1, 3, 0, 1}));

  // The next save sends the waiting ones first, oldest first.
  m_mes.SetAnswer(Answer::Ok);
  EXPECT_EQ(Save(*dialog, "SN2603050005"), 1);
  EXPECT_EQ(m_mes.StoredSerials(), (std::vector<std::string>{"SN2603050001", "SN2603050001", "SN2603050002",
                                                             "SN2603050003", "SN2603050004", "SN2603050005"}));
  EXPECT_EQ(Counts(*dialog), (std::vector<int>{1, 0, 0, 5}));

  // A refused report is counted and not sent again.
  m_mes.SetAnswer(Answer::Fault500);
  EXPECT_EQ(Save(*dialog, "SN2603050006"), 0);
  m_mes.SetAnswer(Answer::Ok);
  EXPECT_EQ(Save(*dialog, "SN2603050007"), 1);
  EXPECT_EQ(m_mes.StoredSerials().size(), 7u);
  EXPECT_EQ(m_mes.StoredSerials().back(), "SN2603050007");
  // The refused one went out once. (The worker may retry a waiting report
  // while the MES answers 503, so the other counts are not fixed.)
  const auto uploads = m_mes.Uploads();
  EXPECT_EQ(std::count_if(uploads.begin(), uploads.end(),
                          [](const auto& u) { return u.Text("SerialNumber") == "SN2603050006"; }),
            1);
  EXPECT_EQ(Counts(*dialog), (std::vector<int>{1, 0, 1, 6}));
}

TEST_F(SaveResultOutboxTest, AnUnusableOutboxIsReportedOnceAndSavesGoOnDirectly) {
  const fs::path damaged = m_station / "damaged.db", held = m_station / "held.db";
  std::ofstream(damaged) << "not a database, but a file someone overwrote";
  results::MesOutboxLock otherStation(held);
  const std::string unusable = platform::Gbk(u8"MES 缓存文件不能使用");
  const std::pair<fs::path, const char*> cases[] = {
      {damaged, "file is not a database"},
      {m_station / "no-such-folder" / "outbox.db", "No such file or directory"},
      {held, "already in use by another station"}};
  for (const auto& [file, why] : cases) {
    SCOPED_TRACE(file);
    m_messages.clear();
    const std::size_t before = m_mes.StoredSerials().size();
    auto dialog = Open(file);
    EXPECT_EQ(Save(*dialog, "SN2603050001"), 1);
    EXPECT_EQ(Save(*dialog, "SN2603050002"), 1);
    EXPECT_EQ(m_mes.StoredSerials().size(), before + 2);
    EXPECT_EQ(Counts(*dialog)[0], 0);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text.rfind(unusable, 0), 0u);
    EXPECT_NE(m_messages[0].text.find(file.string()), std::string::npos);
    EXPECT_NE(m_messages[0].text.find(why), std::string::npos) << m_messages[0].text;
  }
}

TEST_F(SaveResultOutboxTest, ReportsAnEarlierRunLeftGoOutWhenTheWindowOpens) {
  {
    results::MesOutboxStore earlier(m_outbox);
    earlier.Add(outbox_test::Values("SN2603040099"), m_mes.Url(), kSaveTime - 86400);
  }
  auto dialog = Open(m_outbox);
  ASSERT_TRUE(outbox_test::Eventually([&] { return !m_mes.StoredSerials().empty(); }));
  EXPECT_EQ(m_mes.StoredSerials(), std::vector<std::string>{"SN2603040099"});
  EXPECT_TRUE(outbox_test::Eventually([&] { return Counts(*dialog) == std::vector<int>{1, 0, 0, 1}; }));
}

}  // namespace
