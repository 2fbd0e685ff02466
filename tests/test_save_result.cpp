// Saving a unit through the monitor dialog: both result logs and the report
// to a loopback MES double that decodes every value it receives.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>

#include "monitor/MonitorDialog.h"
#include "platform/Application.h"
#include "tests/MesDouble.h"
#include "tests/ResultSavingFixture.h"

namespace {

using namespace results_test;
using platform::Gbk;

const char* const kElementOrder[] = {"OrderNo",     "SerialNumber", "MacList",     "ComponentSnList",
                                     "DealResult",  "BugType",      "BugReason",   "TempColumn1",
                                     "TempColumn2", "TempColumn3",  "WorkStation", "ToolType",
                                     "Recorder",    "SystemType",   "Version"};

// A port on 127.0.0.1 that nothing listens on: connections are refused.
unsigned short ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

// Turns the LF text sent to the MES into the CR LF bytes of the file.
std::string WithCrLf(std::string text) {
  for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) text.insert(at, "\r");
  return text;
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

  void Item(std::u8string_view item, const std::string& result, int nListID = 2) {
    ASSERT_EQ(m_dialog->InsertItem(nListID, Gbk(item), result), 1);
  }
  void NvrItemsAllPass() {
    Item(u8"机器设备软件版本", "V4.1.0,");
    Item(u8"时间同步功能执行通过", "PASS");
    Item(u8"时间同步检测确认", "PASS");
    Item(u8"报警#(0)功能测试通过", "PASS");
    Item(u8"当前视频制式PAL", "PASS");
    Item(u8"视频播放功能", "PASS");
    Item(u8"远程添加IPC设置", "PASS");
    Item(u8"WEB方式获取MAC", "00:11:22:33:44:55,");
  }

  ResultStructrue Record(std::u8string_view routeStep, int32_t judge) const {
    ResultStructrue r;
    r.strLineNo = "L03";
    r.strStation = Gbk(u8"整机测试站3");
    r.nFixtureNo = 7;
    r.strModel = "DS-7608NI";
    r.strVersion = "V4.1.0";
    r.strComputerUser = "PC-LINE03 A123456";
    r.strStartTime = "2026/03/05  14:01:22";
    r.strRouteStepName = Gbk(routeStep);
    r.nJudge = judge;
    r.mapMac[m_strSerial] = "00:11:22:33:44:55";
    r.mapMac["OTHER"] = "FF:FF:FF:FF:FF:FF";
    return r;
  }

  int Save(const ResultStructrue& record, int nListID = 2) {
    EXPECT_EQ(m_dialog->SetSerialNumber(nListID, m_strSerial), 1);
    ResultStructrue copy = record;
    return m_dialog->SaveResult(nListID, &copy);
  }

  std::string DateLog() const {
    return ReadFileBytes(DateFolder() / (m_strSerial + "-20260305140709.txt"));
  }
  std::string SummaryLog() const { return ReadFileBytes(TestResult() / (m_strSerial + "-20260305140709.txt")); }

  // The one upload received, with the request's envelope checked.
  ReceivedUpload OnlyUpload() {
    std::vector<ReceivedUpload> uploads = m_mes.Uploads();
    EXPECT_EQ(uploads.size(), 1u);
    if (uploads.empty()) return {};
    const ReceivedUpload& u = uploads[0];
    EXPECT_EQ(u.strError, "");
    EXPECT_EQ(u.strPath, "/querysn/cs_querysn.asmx");
    EXPECT_EQ(u.strSoapAction, "\"RO_dErodo/IO_UpData_Common\"");
    EXPECT_EQ(u.strOperation, "IO_UpData_Common");
    EXPECT_EQ(u.strNamespace, "RO_dErodo");
    EXPECT_EQ(u.order, std::vector<std::string>(std::begin(kElementOrder), std::end(kElementOrder)));
    EXPECT_EQ(u.Bytes("TempColumn2"), u.Bytes("TempColumn1"));
    EXPECT_EQ(u.Bytes("TempColumn3"), u.Bytes("TempColumn1"));
    // The service gets the second log's text with LF line ends.
    EXPECT_EQ(WithCrLf(u.Text("BugReason")), SummaryLog());
    EXPECT_EQ(u.Text("SystemType"), "0");
    EXPECT_EQ(u.Text("ComponentSnList"), "");
    EXPECT_EQ(u.Text("SerialNumber"), m_strSerial);
    EXPECT_EQ(u.Text("Recorder"), "PC-LINE03 A123456");
    EXPECT_EQ(u.Text("WorkStation"), Gbk(u8"整机测试站3"));
    return u;
  }

  MesDouble m_mes;
  std::unique_ptr<CMonitorDialog> m_dialog;
  std::string m_strSerial = "SN2603050001";
};

TEST_F(SaveResultTest, UnknownListOrMissingRecordSavesNothing) {
  ResultStructrue record = Record(u8"NVR_整机测试", 1);
  EXPECT_EQ(m_dialog->SaveResult(9, &record), 0);
  NvrItemsAllPass();
  ASSERT_EQ(m_dialog->SetSerialNumber(2, m_strSerial), 1);
  EXPECT_EQ(m_dialog->SaveResult(2, nullptr), 0);  // no record: refused
  EXPECT_FALSE(fs::exists(TestResult()));
  EXPECT_EQ(m_mes.RequestCount(), 0u);
}

TEST_F(SaveResultTest, DateLogOfAListMatchesTheHandCheckedLog) {
  Item(u8"机器设备软件版本", "V4.1.0,");
  Item(u8"时间同步检测确认", "PASS");
  Item(u8"硬盘获取功能", ";DISK1");
  Item(u8"WEB方式获取MAC", "00:11:22:33:44:55,");
  ResultStructrue record = Record(u8"NVR_整机测试", 1);
  record.strStation = "ST-FT01";
  record.nFixtureNo = -3;
  record.strVersion = "V4.1.0 build 260301";
  EXPECT_EQ(Save(record), 1);
  EXPECT_EQ(DateLog(), ReadFileBytes(SourceDir() / "tests/data/result_log_SN2603050001.txt"));
}

TEST_F(SaveResultTest, PassingNvrWritesBothLogsAndReportsAllPass) {
  NvrItemsAllPass();
  Item(u8"其他列表", "PASS", 1);  // another position's rows stay out
  EXPECT_EQ(Save(Record(u8"NVR_整机测试", 1)), 1);
  EXPECT_EQ(m_dialog->FindListCtrl(2)->m_nResult, 1);

  const std::string dateLog = DateLog();
  EXPECT_NE(dateLog.find("Result     = PASS\r\n[BEGIN]\r\n"), std::string::npos);
  EXPECT_NE(dateLog.find("[MACLIST]\r\nMAC0 = 00:11:22:33:44:55,\r\n[END]"), std::string::npos);
  EXPECT_EQ(dateLog.find(Gbk(u8"其他列表")), std::string::npos);
  // The second log is the first without its "[MACLIST]" line.
  std::string withoutMacList = dateLog;
  withoutMacList.erase(withoutMacList.find("[MACLIST]\r\n"), 11);
  EXPECT_EQ(SummaryLog(), withoutMacList);

  ReceivedUpload u = OnlyUpload();
  EXPECT_EQ(u.Text("OrderNo"), "SN26030");
  EXPECT_EQ(u.Text("MacList"), "00:11:22:33:44:55");
  EXPECT_EQ(u.Text("DealResult"), "PASS");
  EXPECT_EQ(u.Text("BugType"), "D0000;");
  EXPECT_EQ(u.Bytes("TempColumn1"), "V4");
  EXPECT_EQ(u.Text("ToolType"), Gbk(u8"NVR_整机测试"));
  EXPECT_EQ(u.Text("Version"), "V4.1.0");
  EXPECT_NE(u.Text("BugReason").find("00:11:22:33:44:55,\nMAC0 = 00:11:22:33:44:55,\n[END]"), std::string::npos);
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(SaveResultTest, FailingNvrReportsEachMissingCheck) {
  Item(u8"机器设备软件版本", "V4.1.0,");
  Item(u8"时间同步功能执行通过", "PASS");
  Item(u8"报警#(0)功能测试通过", "FAIL");
  Item(u8"当前视频制式NTSC", "PASS");
  Item(u8"硬盘获取功能,FAIL", "FAIL");
  Item(u8"远程添加IPC设置", "PASS");
  EXPECT_EQ(Save(Record(u8"NVR_整机测试", 0)), 1);
  EXPECT_EQ(m_dialog->FindListCtrl(2)->m_nResult, 0);
  ReceivedUpload u = OnlyUpload();
  EXPECT_EQ(u.Text("DealResult"), "FAIL");
  // The disk failure line (check 5) and the missing playback (check 6).
  EXPECT_EQ(u.Text("BugType"), "D2202;D2208;D2802;D2802;");
  EXPECT_NE(DateLog().find("Result     = FAIL"), std::string::npos);
}

TEST_F(SaveResultTest, NvrWithoutVideoStandardGetsD2211) {
  Item(u8"时间同步功能执行通过", "PASS");
  Item(u8"时间同步检测确认", "PASS");
  Item(u8"报警#(0)功能测试通过", "PASS");
  Item(u8"当前视频制式PAL", "FAIL");
  Item(u8"视频播放功能", "PASS");
  Item(u8"远程添加IPC设置", "PASS");
  EXPECT_EQ(Save(Record(u8"NVR_整机测试", 1)), 1);
  EXPECT_EQ(OnlyUpload().Text("BugType"), "D2211;");
}

TEST_F(SaveResultTest, DvrPassingAndFailing) {
  Item(u8"时间同步功能执行通过", "PASS");
  Item(u8"时间同步检测确认", "PASS");
  Item(u8"当前视频制式NTSC", "PASS");
  Item(u8"硬盘获取功能", ";DISK1");
  Item(u8"视频播放功能", "FAIL");
  EXPECT_EQ(Save(Record(u8"DVR_整机测试", 1)), 1);
  ReceivedUpload fail = OnlyUpload();
  EXPECT_EQ(fail.Text("DealResult"), "FAIL");
  EXPECT_EQ(fail.Text("BugType"), "D2802;");
  EXPECT_EQ(fail.Text("Version"), "sStartStr error");
  EXPECT_EQ(fail.Bytes("TempColumn1"), "sS");
  EXPECT_EQ(fail.Text("MacList"), "sStartStr error");

  ASSERT_EQ(m_dialog->SetItem(2, 4, Gbk(u8"视频播放功能"), "PASS"), 1);
  platform::ScopedClockOverride later(kSaveTime + 1);
  EXPECT_EQ(Save(Record(u8"DVR_整机测试", 1)), 1);
  std::vector<ReceivedUpload> uploads = m_mes.Uploads();
  ASSERT_EQ(uploads.size(), 2u);
  EXPECT_EQ(uploads[1].Text("DealResult"), "PASS");
  EXPECT_EQ(uploads[1].Text("BugType"), "D0000;");
}

TEST_F(SaveResultTest, PassingCameraIsReported) {
  Item(u8"机器设备软件版本", "V5.7.3 build 260101,");
  Item(u8"图像与菜单显示确认通过", "PASS");
  EXPECT_EQ(Save(Record(u8"IPC_整机测试", 1)), 1);
  ReceivedUpload u = OnlyUpload();
  EXPECT_EQ(u.Text("BugType"), "D0000;");
  EXPECT_EQ(u.Text("DealResult"), "PASS");
  EXPECT_EQ(u.Text("Version"), "V5.7.3 build 260101");
}

TEST_F(SaveResultTest, FailingCameraIsNotReportedAndKeepsBothLogs) {
  Item(u8"图像与菜单显示确认通过", "PASS");
  Item(u8"红外灯检测通过", "FAIL");
  EXPECT_EQ(Save(Record(u8"IPC_整机测试", 1)), 0);
  EXPECT_EQ(m_mes.RequestCount(), 0u);
  const std::string summary = SummaryLog();
  EXPECT_EQ(summary.rfind("FormatVersion", 0), 0u);
  EXPECT_EQ(summary.substr(summary.size() - 32), "MAC0 = 00:11:22:33:44:55,\r\n[END]");
  EXPECT_NE(DateLog().find("[MACLIST]"), std::string::npos);
}

TEST_F(SaveResultTest, OtherRouteStepIsReportedWithoutFaultCodes) {
  Item(u8"机器设备软件版本", "V1", 2);  // no comma: the value runs to the next comma
  Item(u8"WEB方式获取MAC", "AA:BB,", 2);
  EXPECT_EQ(Save(Record(u8"PCBA_功能测试", 1)), 1);
  ReceivedUpload u = OnlyUpload();
  EXPECT_EQ(u.Text("BugType"), "");
  EXPECT_EQ(u.Text("ToolType"), Gbk(u8"PCBA_功能测试"));
  EXPECT_EQ(u.Text("Version"), "V1\n" + Gbk(u8"WEB方式获取MAC") + " = AA:BB");
  EXPECT_EQ(u.Text("MacList"), "AA:BB");
}

TEST_F(SaveResultTest, NoJudgementLogsNullAndReportsFail) {
  NvrItemsAllPass();
  EXPECT_EQ(Save(Record(u8"NVR_整机测试", 2)), 1);
  EXPECT_EQ(m_dialog->FindListCtrl(2)->m_nResult, 2);
  EXPECT_NE(DateLog().find("Result     = NULL\r\n"), std::string::npos);
  ReceivedUpload u = OnlyUpload();
  EXPECT_EQ(u.Text("DealResult"), "FAIL");
  EXPECT_EQ(u.Text("BugType"), "");  // every check passed
}

TEST_F(SaveResultTest, VersionWithoutAnyLaterCommaAndShortSerialNumber) {
  m_strSerial = "AB123";
  Item(u8"机器设备软件版本", "V9");
  EXPECT_EQ(Save(Record(u8"PCBA_功能测试", 1)), 1);
  ReceivedUpload u = OnlyUpload();
  EXPECT_EQ(u.Text("OrderNo"), "AB123");
  EXPECT_EQ(u.Text("Version"), "sEndStr error");
  EXPECT_EQ(u.Bytes("TempColumn1"), "sE");
  EXPECT_EQ(u.Text("MacList"), "sStartStr error");
}

TEST_F(SaveResultTest, MesAnsweringWithAFaultIsAFailedSave) {
  m_mes.SetAnswer(MesDouble::Answer::Fault500);
  NvrItemsAllPass();
  EXPECT_EQ(Save(Record(u8"NVR_整机测试", 1)), 0);
  EXPECT_EQ(m_mes.RequestCount(), 1u);
  EXPECT_FALSE(DateLog().empty());
  EXPECT_FALSE(SummaryLog().empty());
  EXPECT_TRUE(m_messages.empty());  // upload failures are not shown
}

TEST_F(SaveResultTest, MesDownWritesBothLogsAndReturnsPromptly) {
  m_dialog->m_strMesUrl = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/querysn/cs_querysn.asmx";
  NvrItemsAllPass();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Save(Record(u8"NVR_整机测试", 1)), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_NE(DateLog().find("[END]"), std::string::npos);
  EXPECT_NE(SummaryLog().find("[END]"), std::string::npos);
}

TEST_F(SaveResultTest, EmptySerialNumberSavesNothing) {
  m_strSerial = "";
  NvrItemsAllPass();
  EXPECT_EQ(Save(Record(u8"NVR_整机测试", 1)), 0);
  EXPECT_FALSE(fs::exists(TestResult()));
  EXPECT_EQ(m_mes.RequestCount(), 0u);
  EXPECT_EQ(m_dialog->FindListCtrl(2)->m_nResult, 0);
}

TEST_F(SaveResultTest, UncreatableLogsShowTheMessageTwiceAndNothingIsSent) {
  { std::ofstream(TestResult()) << "a file where the folder belongs"; }
  NvrItemsAllPass();
  EXPECT_EQ(Save(Record(u8"NVR_整机测试", 1)), 0);
  ASSERT_EQ(m_messages.size(), 2u);
  EXPECT_EQ(m_messages[0].text, SaveFailedText());
  EXPECT_EQ(m_messages[1].text, SaveFailedText());
  EXPECT_EQ(m_mes.RequestCount(), 0u);
}

}  // namespace
