// Saving a unit through the monitor dialog: both result logs and the report
// to a loopback MES double that decodes every value it receives.
#include <chrono>
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

Items NvrItemsAllPass() {
  return {
      {kVersionItem, "V4.1.0,"},        {kSyncDone, "PASS"}, {kSyncCheck, "PASS"}, {kAlarm, "PASS"},
      {kVideoStandard + "PAL", "PASS"}, {kPlayback, "PASS"}, {kRemoteIpc, "PASS"}, {kWebMacItem, "00:11:22:33:44:55,"}};
}

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
    ASSERT_NE(m_dialog->FindListCtrl(2), nullptr);
  }
  void TearDown() override {
    m_dialog.reset();
    ResultSavingTest::TearDown();
  }

  void Insert(const Items& items) {
    for (const auto& [item, result] : items) ASSERT_EQ(m_dialog->InsertItem(2, item, result), 1);
  }
  int Save(const std::string& step = kNvrStep, int32_t judge = 1) {
    EXPECT_EQ(m_dialog->SetSerialNumber(2, m_strSerial), 1);
    ResultStructrue record = UnitRecord(m_strSerial);
    record.strRouteStepName = step;
    record.nJudge = judge;
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

// One unit saved end to end: its items, route step and judgement, and what
// the save, the list and the MES must show. The fault-code rules themselves
// are tabled in the result summary test.
struct Unit {
  const char* name;
  std::string step;
  int32_t judge;
  std::string serial;
  Items items;
  int saved;
  int32_t verdict;
  std::string resultLine;
  // Values the MES receives ("TempColumn1" as its bytes); none: not reported.
  std::map<std::string, std::string> values;
};

void PrintTo(const Unit& unit, std::ostream* os) {
  *os << unit.name;
}

std::vector<Unit> Units() {
  const std::string sn = "SN2603050001";
  const std::string pcba = Gbk(u8"PCBA_功能测试");
  return {
      {"NvrPassing",
       kNvrStep,
       1,
       sn,
       NvrItemsAllPass(),
       1,
       1,
       "PASS",
       {{"OrderNo", "SN26030"},
        {"MacList", "00:11:22:33:44:55"},
        {"DealResult", "PASS"},
        {"BugType", "D0000;"},
        {"TempColumn1", "V4"},
        {"ToolType", kNvrStep},
        {"Version", "V4.1.0"}}},
      // No version or MAC row: the error texts are passed on as values.
      {"DvrFailing",
       kDvrStep,
       1,
       sn,
       {{kSyncDone, "PASS"},
        {kSyncCheck, "PASS"},
        {kVideoStandard + "NTSC", "PASS"},
        {kDisk, ";DISK1"},
        {kPlayback, "FAIL"}},
       1,
       0,
       "FAIL",
       {{"DealResult", "FAIL"},
        {"BugType", "D2802;"},
        {"Version", "sStartStr error"},
        {"TempColumn1", "sS"},
        {"MacList", "sStartStr error"}}},
      // The first two bytes of a GBK version: its first character.
      {"CameraPassing",
       kIpcStep,
       1,
       sn,
       {{kVersionItem, Gbk(u8"版本V5.7.3 build 260101,")}, {Gbk(u8"图像与菜单显示确认通过"), "PASS"}},
       1,
       1,
       "PASS",
       {{"DealResult", "PASS"},
        {"BugType", "D0000;"},
        {"Version", Gbk(u8"版本V5.7.3 build 260101")},
        {"TempColumn1", Gbk(u8"版")},
        {"ToolType", kIpcStep}}},
      {"CameraFailingIsNotReported",
       kIpcStep,
       1,
       sn,
       {{Gbk(u8"图像与菜单显示确认通过"), "PASS"}, {Gbk(u8"红外灯检测通过"), "FAIL"}},
       0,
       0,
       "FAIL",
       {}},
      // A version without a comma runs to the next comma.
      {"OtherRouteStepHasNoFaultCodes",
       pcba,
       1,
       sn,
       {{kVersionItem, "V1"}, {kWebMacItem, "AA:BB,"}},
       1,
       0,
       "FAIL",
       {{"BugType", ""}, {"ToolType", pcba}, {"Version", "V1\n" + kWebMacItem + " = AA:BB"}, {"MacList", "AA:BB"}}},
      {"NoJudgementLogsNullAndReportsFail",
       kNvrStep,
       2,
       sn,
       NvrItemsAllPass(),
       1,
       2,
       "NULL",
       {{"DealResult", "FAIL"}, {"BugType", ""}}},
      // A short serial number is the whole order number; a short version is filled with a zero byte.
      {"ShortSerialNumberAndVersion",
       pcba,
       1,
       "AB123",
       {{kVersionItem, "7,"}},
       1,
       0,
       "FAIL",
       {{"OrderNo", "AB123"}, {"Version", "7"}, {"TempColumn1", std::string("7\0", 2)}}},
      {"EmptyVersion",
       pcba,
       1,
       sn,
       {{kVersionItem, ","}},
       1,
       0,
       "FAIL",
       {{"Version", ""}, {"TempColumn1", std::string(2, '\0')}}},
  };
}

class SaveUnitTest : public SaveResultTest, public ::testing::WithParamInterface<Unit> {};

TEST_P(SaveUnitTest, LogsVerdictAndReport) {
  const Unit& unit = GetParam();
  m_strSerial = unit.serial;
  ASSERT_EQ(m_dialog->InsertItem(1, Gbk(u8"其他列表"), "PASS"), 1);  // another position's rows stay out
  Insert(unit.items);
  EXPECT_EQ(Save(unit.step, unit.judge), unit.saved);
  EXPECT_EQ(m_dialog->FindListCtrl(2)->m_nResult, unit.verdict);
  ExpectBothLogs();
  EXPECT_NE(DateLog().find("\r\nResult     = " + unit.resultLine + "\r\n[BEGIN]\r\n"), std::string::npos);
  EXPECT_EQ(DateLog().find(Gbk(u8"其他列表")), std::string::npos);
  EXPECT_TRUE(m_messages.empty());
  const std::vector<ReceivedUpload> uploads = m_mes.Uploads();
  ASSERT_EQ(uploads.size(), unit.values.empty() ? 0u : 1u);
  if (uploads.empty()) return;
  const ReceivedUpload& u = uploads[0];
  EXPECT_EQ(u.strError, "");
  EXPECT_EQ(u.strPath, "/querysn/cs_querysn.asmx");
  EXPECT_EQ(u.strSoapAction, "\"RO_dErodo/IO_UpData_Common\"");
  EXPECT_EQ(u.strOperation, "IO_UpData_Common");
  EXPECT_EQ(u.strNamespace, "RO_dErodo");
  EXPECT_EQ(u.order, (std::vector<std::string>{"OrderNo", "SerialNumber", "MacList", "ComponentSnList", "DealResult",
                                               "BugType", "BugReason", "TempColumn1", "TempColumn2", "TempColumn3",
                                               "WorkStation", "ToolType", "Recorder", "SystemType", "Version"}));
  EXPECT_EQ(u.Bytes("TempColumn2"), u.Bytes("TempColumn1"));
  EXPECT_EQ(u.Bytes("TempColumn3"), u.Bytes("TempColumn1"));
  // The service gets the second log's text with LF line ends.
  EXPECT_EQ(WithCrLf(u.Text("BugReason")), SummaryLog());
  std::map<std::string, std::string> values = {{"SystemType", "0"},
                                               {"ComponentSnList", ""},
                                               {"SerialNumber", m_strSerial},
                                               {"Recorder", "PC-LINE03 A123456"},
                                               {"WorkStation", "ST-FT01"}};
  values.insert(unit.values.begin(), unit.values.end());
  for (const auto& [name, value] : values) {
    EXPECT_EQ(name == "TempColumn1" ? u.Bytes(name) : u.Text(name), value) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Units, SaveUnitTest, ::testing::ValuesIn(Units()),
                         [](const ::testing::TestParamInfo<Unit>& info) { return info.param.name; });

TEST_F(SaveResultTest, DateLogOfAListMatchesTheHandCheckedLog) {
  Insert({{kVersionItem, "V4.1.0,"}, {kSyncCheck, "PASS"}, {kDisk, ";DISK1"}, {kWebMacItem, "00:11:22:33:44:55,"}});
  EXPECT_EQ(Save(), 1);
  EXPECT_EQ(DateLog(), ReadBytes(SourceDir() / "tests/data/result_log_SN2603050001.txt"));
}

// A device console's colour codes in a result: the logs keep the bytes as
// they were, the report is still a well-formed document the MES can read.
TEST_F(SaveResultTest, ControlCharactersInAResultAreLoggedRawAndReportedReadably) {
  const std::string console = "\x1b[32mPASS\x1b[0m";
  Items items = NvrItemsAllPass();
  items.push_back({Gbk(u8"串口输出"), console});
  Insert(items);
  EXPECT_EQ(Save(), 1);
  ExpectBothLogs();
  EXPECT_NE(DateLog().find(Gbk(u8"串口输出") + " = " + console + "\r\n"), std::string::npos);
  const std::vector<ReceivedUpload> uploads = m_mes.Uploads();
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_EQ(uploads[0].strError, "");
  const std::string bugReason = uploads[0].Text("BugReason");
  EXPECT_NE(bugReason.find("[32mPASS"), std::string::npos) << bugReason;
  EXPECT_EQ(bugReason.find('\x1b'), std::string::npos);
}

TEST_F(SaveResultTest, UnknownListOrMissingRecordSavesNothing) {
  ResultStructrue record = UnitRecord(m_strSerial);
  EXPECT_EQ(m_dialog->SaveResult(9, &record), 0);
  Insert(NvrItemsAllPass());
  ASSERT_EQ(m_dialog->SetSerialNumber(2, m_strSerial), 1);
  EXPECT_EQ(m_dialog->SaveResult(2, nullptr), 0);
  EXPECT_FALSE(fs::exists(TestResult()));
  EXPECT_EQ(m_mes.Uploads().size(), 0u);
}

TEST_F(SaveResultTest, UnitThatCannotBeSavedIsNotReported) {
  // Serial number, whether "TestResult" is blocked by a file, messages shown.
  const std::tuple<std::string, bool, std::size_t> cases[] = {
      {"", false, 0}, {"0", false, 0}, {"../../etc/x", false, 2}, {"SN2603050001", true, 2}};
  Insert(NvrItemsAllPass());
  for (const auto& [serial, blocked, messages] : cases) {
    SCOPED_TRACE(serial);
    m_messages.clear();
    m_strSerial = serial;
    if (blocked) std::ofstream(TestResult()) << "a file where the folder belongs";
    EXPECT_EQ(Save(), 0);
    EXPECT_EQ(m_dialog->FindListCtrl(2)->m_nResult, 0);
    ExpectSaveFailedShown(messages);
    EXPECT_EQ(FilesBelow(m_station), blocked ? std::vector<std::string>{"TestResult"} : std::vector<std::string>{});
  }
  EXPECT_EQ(m_mes.Uploads().size(), 0u);
}

TEST_F(SaveResultTest, FailedUploadKeepsBothLogsAndTheNextSaveUsesANewClient) {
  Insert(NvrItemsAllPass());
  const std::string refusing = MesDouble().Url();  // gone at once: connections are refused
  const std::pair<MesDouble::Answer, std::string> failures[] = {{MesDouble::Answer::Fault500, m_mes.Url()},
                                                                {MesDouble::Answer::Silent, m_mes.Url()},
                                                                {MesDouble::Answer::Ok, "not a url"},
                                                                {MesDouble::Answer::Ok, ""},
                                                                {MesDouble::Answer::Ok, refusing}};
  for (const auto& [answer, url] : failures) {
    SCOPED_TRACE(url);
    m_mes.SetAnswer(answer);
    m_dialog->m_strMesUrl = url;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Save(), 0);  // a failed upload, not an escaping error
    // MES down: the save comes back promptly.
    if (url == refusing) EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    ExpectBothLogs();
  }
  EXPECT_EQ(m_mes.Uploads().size(), 2u);
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
