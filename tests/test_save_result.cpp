// Saving a unit through the monitor dialog: both result logs and the report
// to a loopback MES double that decodes every value it receives.
#include <map>
#include <memory>
#include <tuple>

#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "platform/Application.h"
#include "tests/MesDouble.h"
#include "tests/ResultSavingFixture.h"
#include "tests/ScratchFolder.h"
#include "tests/XlsPeerDump.h"

namespace {

using namespace results_test;
using platform::Gbk;

using Items = std::vector<std::pair<std::string, std::string>>;
const Items kUnitItems{{kVersionItem, "V4.1.0,"}, {kSyncCheck, "PASS"}, {kWebMacItem, "00:11:22:33:44:55,"}};

class SaveResultTest : public ResultSavingTest {
 protected:
  void SetUp() override {
    ResultSavingTest::SetUp();
    platform::EnsureApplication();
    m_dialog = std::make_unique<CMonitorDialog>();
    m_dialog->m_nRows = 1;
    m_dialog->m_nCols = 2;
    m_dialog->m_strMesUrl = m_mes.Url();
    ASSERT_TRUE(m_dialog->Create(CMonitorDialog::IDD));
  }
  void TearDown() override {
    m_dialog.reset();
    ResultSavingTest::TearDown();
  }

  void Insert(const Items& items) {
    for (const auto& [item, result] : items) ASSERT_EQ(m_dialog->InsertItem(2, item, result), 1);
  }
  int Save() {
    EXPECT_EQ(m_dialog->SetSerialNumber(2, m_strSerial), 1);
    ResultStructrue record = UnitRecord(m_strSerial);
    return m_dialog->SaveResult(2, &record);
  }

  std::string DateLog() const { return ReadBytes(DateFolder() / (m_strSerial + "-20260305140709.txt")); }
  std::string SummaryLog() const { return ReadBytes(TestResult() / (m_strSerial + "-20260305140709.txt")); }

  // Both logs are whole and the second is the first without its "[MACLIST]" line.
  void ExpectBothLogs() {
    const std::string dateLog = DateLog();
    const std::string macList = "[MACLIST]\r\nMAC0 = 00:11:22:33:44:55,\r\n[END]";
    ASSERT_GT(dateLog.size(), macList.size());
    EXPECT_EQ(dateLog.substr(dateLog.size() - macList.size()), macList);
    EXPECT_EQ(SummaryLog(), dateLog.substr(0, dateLog.size() - macList.size()) + macList.substr(11));
  }

  MesDouble m_mes;
  std::unique_ptr<CMonitorDialog> m_dialog;
  std::string m_strSerial = "SN2603050001";
};

// The hand-checked list saved through the window, beside another position's
// row: both logs whole, the verdict on the list, and the one call the MES
// receives. What each kind of unit reports is tabled in the result summary test.
TEST_F(SaveResultTest, AUnitIsLoggedJudgedAndReportedOnce) {
  ASSERT_EQ(m_dialog->InsertItem(1, Gbk(u8"其他列表"), "PASS"), 1);  // another position's row stays out
  Insert({{kVersionItem, "V4.1.0,"}, {kSyncCheck, "PASS"}, {kDisk, ";DISK1"}, {kWebMacItem, "00:11:22:33:44:55,"}});
  EXPECT_EQ(Save(), 1);
  EXPECT_EQ(m_dialog->FindListCtrl(2)->m_nResult, 1);
  EXPECT_EQ(DateLog(), ReadBytes(FixturePath("result_log_SN2603050001.txt")));
  ExpectBothLogs();
  EXPECT_TRUE(m_messages.empty());
  const std::vector<ReceivedUpload> uploads = m_mes.Uploads();
  ASSERT_EQ(uploads.size(), 1u);
  const ReceivedUpload& u = uploads[0];
  EXPECT_EQ(std::tie(u.strError, u.strSoapAction), std::make_tuple("", "\"RO_dErodo/IO_UpData_Common\""));
  EXPECT_EQ(u.order, (std::vector<std::string>{"OrderNo", "SerialNumber", "MacList", "ComponentSnList", "DealResult",
                                               "BugType", "BugReason", "TempColumn1", "TempColumn2", "TempColumn3",
                                               "WorkStation", "ToolType", "Recorder", "SystemType", "Version"}));
  // The service gets the second log's text with LF line ends.
  EXPECT_EQ(WithCrLf(u.Text("BugReason")), SummaryLog());
  std::map<std::string, std::string> received;
  for (const std::string& name : u.order)
    if (name != "BugReason") received[name] = name.starts_with("TempColumn") ? u.Bytes(name) : u.Text(name);
  EXPECT_EQ(received, (std::map<std::string, std::string>{
                          {"OrderNo", "SN26030"}, {"SerialNumber", m_strSerial}, {"MacList", "00:11:22:33:44:55"},
                          {"ComponentSnList", ""}, {"DealResult", "PASS"}, {"BugType", "D0000;"},
                          {"TempColumn1", "V4"}, {"TempColumn2", "V4"}, {"TempColumn3", "V4"},
                          {"WorkStation", "ST-FT01"}, {"ToolType", kNvrStep}, {"Recorder", "PC-LINE03 A123456"},
                          {"SystemType", "0"}, {"Version", "V4.1.0"}}));
}

// Unknown list, no record, no serial number, one that would leave the
// folder (which others are refused: the result log test): nothing written
// or reported.
TEST_F(SaveResultTest, UnitThatCannotBeSavedIsNotReported) {
  Insert(kUnitItems);
  ResultStructrue record = UnitRecord(m_strSerial);
  EXPECT_EQ(std::make_pair(m_dialog->SaveResult(9, &record), m_dialog->SaveResult(2, nullptr)), std::make_pair(0, 0));
  for (const char* serial : {"", "../../etc/x"}) {
    m_strSerial = serial;
    EXPECT_EQ(Save(), 0);
  }
  EXPECT_EQ(m_dialog->FindListCtrl(2)->m_nResult, 0);
  ExpectSaveFailedShown(2);  // an unset one silently, the other once per saving step
  EXPECT_EQ(FilesBelow(m_station), std::vector<std::string>{});
  EXPECT_EQ(m_mes.Uploads().size(), 0u);
}

TEST_F(SaveResultTest, FailedUploadKeepsBothLogsAndTheNextSaveUsesANewClient) {
  Insert(kUnitItems);
  const std::string refusing = MesDouble().Url();  // gone at once: connections are refused
  const std::pair<MesDouble::Answer, std::string> failures[] = {
      {MesDouble::Answer::Fault500, m_mes.Url()}, {MesDouble::Answer::Ok, "not a url"}, {MesDouble::Answer::Ok, refusing}};
  for (const auto& [answer, url] : failures) {
    SCOPED_TRACE(url);
    m_mes.SetAnswer(answer);
    m_dialog->m_strMesUrl = url;
    EXPECT_EQ(Save(), 0);  // a failed upload, not an escaping error (how fast a refused one is: bench_save_result)
    ExpectBothLogs();
  }
  EXPECT_EQ(m_mes.Uploads().size(), 1u);
  m_dialog->m_strMesUrl = m_mes.Url();
  m_mes.SetAnswer(MesDouble::Answer::Ok);
  EXPECT_EQ(Save(), 1);
  EXPECT_EQ(m_mes.Uploads().back().Text("DealResult"), "PASS");
  EXPECT_EQ(m_dialog->FindListCtrl(2)->m_nResult, 1);
  EXPECT_TRUE(m_messages.empty());  // upload failures are not shown
}

}  // namespace

// A device's stray output that is not GBK: the text log keeps its bytes as
// they came, and the unit's workbook row is stored with U+FFFD for each of
// them instead of being lost, also on the model's second export, whose sheet
// header then holds a U+FFFD of its own.
TEST_F(SaveResultTest, BytesThatAreNotGbkKeepTheUnitsWorkbookRow) {
  fs::copy_file(FixturePath("xls/lo_empty_3sheets.xls"), m_station / "PCB.xls");
  const std::string console = "\x1B[32MOK\x81";                // a lead byte cut off
  const std::string broken = std::string("\xFF") + "'Q\xA2]";  // never GBK; an unassigned pair
  const std::string item = "DISK\xB2";                         // a header name ending in a lead byte
  Insert({{"VOLTAGE", "12.1V"}, {item, broken}, {"CONSOLE", console}});
  Save();
  const std::string log = DateLog();
  EXPECT_NE(log.find(item), std::string::npos);
  EXPECT_NE(log.find(broken), std::string::npos);
  EXPECT_NE(log.find(console), std::string::npos);

  ResultStructrue record = UnitRecord(m_strSerial);
  ASSERT_EQ(m_dialog->SaveResult2EXL(2, &record), 1);
  ASSERT_EQ(m_dialog->SaveResult2EXL(2, &record), 1);
  PeerBook book = XlrdRead((m_station / "PCB.xls").string());
  ASSERT_TRUE(book.refusal.empty()) << book.refusal;
  const std::vector<std::string> row{U8(u8"当前日期：2026/03/05  14:07:09"), m_strSerial, "12.1V",
                                     U8(u8"\uFFFD'Q\uFFFD]"), U8(u8"\x1B[32MOK\uFFFD")};
  EXPECT_EQ(book.Texts(record.strModel),
            (std::vector<std::vector<std::string>>{
                {U8(u8"时间"), "SN", "VOLTAGE", U8(u8"DISK\uFFFD"), "CONSOLE"}, row, row}));
}
