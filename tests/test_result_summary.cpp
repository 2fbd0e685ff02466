#include "results/FaultCodes.h"
#include "results/ResultSummary.h"
#include "results/StringBetween.h"
#include "tests/ResultSavingFixture.h"

namespace {

using namespace results_test;
using platform::Gbk;

// ---- GetStringBetween ----

TEST(GetStringBetween, TakesTheTrimmedTextBetweenTheFirstMarkers) {
  EXPECT_EQ(GetStringBetween("a = \t V1.2 \r\n, b = x,", "a = ", ","), "V1.2");
  EXPECT_EQ(GetStringBetween("k1 = v1,k2 = v2,", "k2 = ", ","), "v2");
  EXPECT_EQ(GetStringBetween("RouteStepName = step\nFixtureNo  = 1", "RouteStepName = ", "FixtureNo"),
            "step");
  EXPECT_EQ(GetStringBetween(" \v\fall\f ", "", ""), "all");
  EXPECT_EQ(GetStringBetween("head, tail", "", ","), "head");
  EXPECT_EQ(GetStringBetween("head, tail ", ",", ""), "tail");
  EXPECT_EQ(GetStringBetween("x=,", "x=", ","), "");
}

TEST(GetStringBetween, MissingMarkersGiveTheErrorTexts) {
  EXPECT_EQ(GetStringBetween("no markers here", "v = ", ","), "sStartStr error");
  EXPECT_EQ(GetStringBetween("v = 1.0 and no comma", "v = ", ","), "sEndStr error");
  EXPECT_EQ(GetStringBetween("", "", ","), "sEndStr error");
  // The end marker counts only after the start marker.
  EXPECT_EQ(GetStringBetween(", v = 1.0", "v = ", ","), "sEndStr error");
}

TEST(GetStringBetween, NeverMatchesOnTheSecondByteOfAGbkCharacter) {
  // In 0x81 0x40 and 0x81 0x5C the second bytes look like "@" and "\".
  const std::string text = "\x81\x40" "AB@CD" "\x81\x5C" "EF\\GH";
  EXPECT_EQ(GetStringBetween(text, "@", "\\"), "CD\x81\x5C" "EF");
  EXPECT_EQ(GetStringBetween("\x81\x40" "only", "@", ""), "sStartStr error");
  EXPECT_EQ(GetStringBetween("@x\x81\x40", "@", "@"), "sEndStr error");
}

// ---- check tables ----

struct Items {
  std::string text;
  Items& Add(std::u8string_view item, std::string_view result) {
    text += Gbk(item) + " = " + std::string(result) + "\n";
    return *this;
  }
  Items& Line(std::string line) {
    text += line + "\n";
    return *this;
  }
};

Items AllNvrChecksPass() {
  Items t;
  t.Line("Result     = FAIL");
  t.Add(u8"时间同步功能执行通过", "PASS").Add(u8"时间同步检测确认", "PASS");
  t.Add(u8"报警#(0)功能测试通过", "PASS").Add(u8"当前视频制式PAL", "PASS");
  t.Add(u8"视频播放功能", "PASS").Add(u8"远程添加IPC设置", "PASS");
  return t;
}

const std::string& Nvr() { static const std::string s = Gbk(u8"NVR_整机测试"); return s; }
const std::string& Dvr() { static const std::string s = Gbk(u8"DVR_整机测试"); return s; }
const std::string& Ipc() { static const std::string s = Gbk(u8"IPC_整机测试"); return s; }

TEST(FaultCodes, RecorderWithEveryCheckPassingButNoPassResultHasNoCodes) {
  FamilyOutcome o = ApplyFamilyRules(Nvr(), AllNvrChecksPass().text, "FAIL");
  EXPECT_TRUE(o.bUpload);
  EXPECT_EQ(o.strBugType, "");
}

TEST(FaultCodes, EveryFailedCheckAddsItsCodeAndASemicolonInTableOrder) {
  Items t;
  t.Line("Result     = FAIL").Add(u8"时间同步检测确认", "PASS").Add(u8"当前视频制式NTSC", "PASS");
  t.Add(u8"远程添加IPC设置", "PASS").Line(Gbk(u8"硬盘获取功能,FAIL = FAIL"));
  EXPECT_EQ(ApplyFamilyRules(Nvr(), t.text, "FAIL").strBugType, "D2201;D2208;D2802;D2802;");

  Items none;
  EXPECT_EQ(ApplyFamilyRules(Nvr(), none.text, "").strBugType, "D2201;D2202;D2208;D2211;D2802;D2802;");
  EXPECT_EQ(ApplyFamilyRules(Dvr(), none.text, "").strBugType, "D2201;D2202;D2211;D2802;D2802;");
}

TEST(FaultCodes, VideoStandardPassesWithPalOrNtsc) {
  for (std::u8string_view item : {u8"当前视频制式PAL", u8"当前视频制式NTSC"}) {
    Items t = AllNvrChecksPass();
    t.text.erase(t.text.find(Gbk(u8"当前视频制式PAL")), Gbk(u8"当前视频制式PAL = PASS\n").size());
    EXPECT_EQ(ApplyFamilyRules(Nvr(), t.text, "FAIL").strBugType, "D2211;");
    t.Add(item, "PASS, 50Hz");
    EXPECT_EQ(ApplyFamilyRules(Nvr(), t.text, "FAIL").strBugType, "");
  }
  Items t = AllNvrChecksPass();
  t.text.replace(t.text.find(Gbk(u8"当前视频制式PAL = PASS")), Gbk(u8"当前视频制式PAL = PASS").size(),
                 Gbk(u8"当前视频制式PAL = FAIL"));
  EXPECT_EQ(ApplyFamilyRules(Nvr(), t.text, "FAIL").strBugType, "D2211;");
}

TEST(FaultCodes, DvrDiskCheckWantsItsDiskLine) {
  Items t;
  t.Line("Result     = FAIL").Add(u8"时间同步功能执行通过", "PASS").Add(u8"时间同步检测确认", "PASS");
  t.Add(u8"当前视频制式PAL", "PASS").Add(u8"视频播放功能", "PASS");
  EXPECT_EQ(ApplyFamilyRules(Dvr(), t.text, "FAIL").strBugType, "D2802;");
  t.Add(u8"硬盘获取功能", ";DISK1");
  EXPECT_EQ(ApplyFamilyRules(Dvr(), t.text, "FAIL").strBugType, "");
}

TEST(FaultCodes, PassResultLineReplacesTheCodesOfRecorders) {
  Items t;
  t.Line("Result     = PASS");
  EXPECT_EQ(ApplyFamilyRules(Nvr(), t.text, "PASS").strBugType, "D0000;");
  EXPECT_EQ(ApplyFamilyRules(Dvr(), t.text, "").strBugType, "D0000;");
}

TEST(FaultCodes, CameraIsReportedOnlyWhenItPassed) {
  FamilyOutcome pass = ApplyFamilyRules(Ipc(), "", "PASS");
  EXPECT_TRUE(pass.bUpload);
  EXPECT_EQ(pass.strBugType, "D0000;");
  EXPECT_FALSE(ApplyFamilyRules(Ipc(), "Result     = PASS\n", "FAIL").bUpload);
  EXPECT_FALSE(ApplyFamilyRules(Ipc(), "", "").bUpload);
}

TEST(FaultCodes, OtherRouteStepsHaveNoChecks) {
  for (const std::string& step : {std::string("PCBA_TEST"), Gbk(u8"NVR_整机测试 "), std::string()}) {
    FamilyOutcome o = ApplyFamilyRules(step, "Result     = PASS\n", "PASS");
    EXPECT_TRUE(o.bUpload);
    EXPECT_EQ(o.strBugType, "");
  }
}

// The markers as the GBK bytes the station writes, spelled out so that they
// do not depend on the converter the module uses for its own texts.
std::string Hex(std::string_view digits) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(std::string(digits.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

const std::string kSyncDone = Hex("cab1bce4cdacb2bdb9a6c4dcd6b4d0d0cda8b9fd");  // 时间同步功能执行通过
const std::string kSyncCheck = Hex("cab1bce4cdacb2bdbcecb2e2c8b7c8cf");         // 时间同步检测确认
const std::string kAlarm = Hex("b1a8beaf") + "#(0)" + Hex("b9a6c4dcb2e2cad4cda8b9fd");  // 报警#(0)功能测试通过
const std::string kVideoStandard = Hex("b5b1c7b0cad3c6b5d6c6cabd");               // 当前视频制式
const std::string kDisk = Hex("d3b2c5ccbbf1c8a1b9a6c4dc");                        // 硬盘获取功能
const std::string kPlayback = Hex("cad3c6b5b2a5b7c5b9a6c4dc");                    // 视频播放功能
const std::string kRemoteIpc = Hex("d4b6b3ccccedbcd3") + "IPC" + Hex("c9e8d6c3");  // 远程添加IPC设置
const std::string kWholeUnitTest = Hex("d5fbbbfab2e2cad4");                       // 整机测试

TEST(FaultCodes, MarkersAreTheStationsGbkBytes) {
  const std::string nvrLog = "Result     = FAIL\n" + kSyncDone + " = PASS\n" + kSyncCheck + " = PASS\n" +
                             kAlarm + " = PASS\n" + kVideoStandard + "PAL = PASS\n" + kPlayback +
                             " = PASS\n" + kRemoteIpc + " = PASS\n";
  EXPECT_EQ(ApplyFamilyRules("NVR_" + kWholeUnitTest, nvrLog, "FAIL").strBugType, "");
  EXPECT_EQ(ApplyFamilyRules("NVR_" + kWholeUnitTest, nvrLog + kDisk + ",FAIL = FAIL\n", "FAIL").strBugType,
            "D2802;");

  const std::string dvrLog = "Result     = FAIL\n" + kSyncDone + " = PASS\n" + kSyncCheck + " = PASS\n" +
                             kVideoStandard + "NTSC = PASS\n" + kDisk + " = ;DISK1\n" + kPlayback + " = PASS\n";
  EXPECT_EQ(ApplyFamilyRules("DVR_" + kWholeUnitTest, dvrLog, "FAIL").strBugType, "");
  EXPECT_EQ(ApplyFamilyRules("DVR_" + kWholeUnitTest, "", "").strBugType, "D2201;D2202;D2211;D2802;D2802;");

  const FamilyOutcome camera = ApplyFamilyRules("IPC_" + kWholeUnitTest, "", "PASS");
  EXPECT_TRUE(camera.bUpload);
  EXPECT_EQ(camera.strBugType, "D0000;");
  EXPECT_FALSE(ApplyFamilyRules("IPC_" + kWholeUnitTest, "", "FAIL").bUpload);
}

// ---- the second log and the values ----

ResultStructrue Record(std::u8string_view routeStep, int32_t judge) {
  ResultStructrue r;
  r.strLineNo = "L1";
  r.strStation = Gbk(u8"整机测试站3");
  r.nFixtureNo = 2;
  r.strModel = "DS-7104";
  r.strVersion = "V1";
  r.strComputerUser = "HOST-01 U000123";
  r.strStartTime = "20260305140000";
  r.strRouteStepName = Gbk(routeStep);
  r.nJudge = judge;
  r.mapMac["SN260305A01"] = "00:AA:BB:CC:DD:01";
  r.mapMac["SN999"] = "00:AA:BB:CC:DD:99";
  return r;
}

ResultListSnapshot List(std::vector<ResultRow> rows) {
  ResultListSnapshot panel;
  panel.strSerialNumber = "SN260305A01";
  panel.rows = std::move(rows);
  return panel;
}

class ResultSummaryTest : public ResultSavingTest {
 protected:
  fs::path SummaryPath(const std::string& serial) const {
    return TestResult() / (serial + "-20260305140709.txt");
  }
};

TEST_F(ResultSummaryTest, SecondLogHasNoMacListLineAndCrLfOnDisk) {
  ResultListSnapshot panel = List({{Gbk(u8"机器设备软件版本"), "V5.5.0,", 1}, {Gbk(u8"WEB方式获取MAC"), "00:AA:BB:CC:DD:01,", 1}});
  std::optional<MesUploadValues> v = WriteResultSummary(panel, Record(u8"NVR_整机测试", 1));
  ASSERT_TRUE(v.has_value());
  const std::string& text = v->strBugReason;
  EXPECT_EQ(text.rfind("FormatVersion\t=\t1.0.0.0\n[HEAD]\n", 0), 0u);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text.find("[MACLIST]"), std::string::npos);
  EXPECT_NE(text.find("00:AA:BB:CC:DD:01,\nMAC0 = 00:AA:BB:CC:DD:01,\n[END]"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 5), "[END]");
  EXPECT_EQ(text.find("DD:99"), std::string::npos);

  std::string onDisk = text;
  for (std::size_t at = 0; (at = onDisk.find('\n', at)) != std::string::npos; at += 2) onDisk.insert(at, "\r");
  EXPECT_EQ(ReadFileBytes(SummaryPath("SN260305A01")), onDisk);
  EXPECT_EQ(FilesBelow(TestResult()), std::vector<std::string>{"SN260305A01-20260305140709.txt"});
  EXPECT_EQ(panel.nResult, 1);

  EXPECT_EQ(v->strOrderNo, "SN26030");
  EXPECT_EQ(v->strSerialNumber, "SN260305A01");
  EXPECT_EQ(v->strMacList, "00:AA:BB:CC:DD:01");
  EXPECT_EQ(v->strComponentSnList, "");
  EXPECT_EQ(v->strDealResult, "PASS");
  EXPECT_EQ(v->strBugType, "D0000;");
  EXPECT_EQ(v->strTempColumn, "V5");
  EXPECT_EQ(v->strWorkStation, Gbk(u8"整机测试站3"));
  EXPECT_EQ(v->strToolType, Gbk(u8"NVR_整机测试"));
  EXPECT_EQ(v->strRecorder, "HOST-01 U000123");
  EXPECT_EQ(v->nSystemType, 0);
  EXPECT_EQ(v->strVersion, "V5.5.0");
}

TEST_F(ResultSummaryTest, VersionAndWebMacMarkersAreTheStationsGbkBytes) {
  ResultListSnapshot panel = List({{Hex("bbfac6f7c9e8b1b8c8edbcfeb0e6b1be"), "V7.0.1,", 1},  // 机器设备软件版本
                                   {"WEB" + Hex("b7bdcabdbbf1c8a1") + "MAC", "00:AA:BB:CC:DD:07,", 1}});  // WEB方式获取MAC
  std::optional<MesUploadValues> v = WriteResultSummary(panel, Record(u8"OTHER", 1));
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->strVersion, "V7.0.1");
  EXPECT_EQ(v->strMacList, "00:AA:BB:CC:DD:07");
}

TEST_F(ResultSummaryTest, ShortVersionIsFilledWithZeroBytesAndShortSerialIsTheOrder) {
  ResultListSnapshot panel = List({{Gbk(u8"机器设备软件版本"), "7,", 1}});
  panel.strSerialNumber = "AB123";
  std::optional<MesUploadValues> v = WriteResultSummary(panel, Record(u8"OTHER", 1));
  EXPECT_EQ(v->strTempColumn, std::string("7\0", 2));
  EXPECT_EQ(v->strOrderNo, "AB123");
  panel.rows[0].strResult = ",";
  EXPECT_EQ(WriteResultSummary(panel, Record(u8"OTHER", 1))->strTempColumn, std::string(2, '\0'));
}

TEST_F(ResultSummaryTest, UnsavedOrUnsafeSerialNumbersAndUncreatableFiles) {
  for (const char* serial : {"", "0"}) {
    ResultListSnapshot panel = List({{"a", "PASS", 1}});
    panel.strSerialNumber = serial;
    EXPECT_FALSE(WriteResultSummary(panel, Record(u8"OTHER", 1)).has_value());
    EXPECT_EQ(panel.nResult, 0);
  }
  EXPECT_TRUE(m_messages.empty());
  EXPECT_FALSE(fs::exists(TestResult()));

  ResultListSnapshot unsafe = List({{"a", "PASS", 1}});
  unsafe.strSerialNumber = "../../etc/x";
  EXPECT_FALSE(WriteResultSummary(unsafe, Record(u8"OTHER", 1)).has_value());
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SaveFailedText());
  EXPECT_FALSE(fs::exists(TestResult()));

  // "TestResult" is a file: nothing can be created below it.
  { std::ofstream(TestResult()) << "in the way"; }
  ResultListSnapshot panel = List({{"a", "PASS", 1}});
  EXPECT_FALSE(WriteResultSummary(panel, Record(u8"OTHER", 1)).has_value());
  ASSERT_EQ(m_messages.size(), 2u);
  EXPECT_EQ(m_messages[1].text, SaveFailedText());
  EXPECT_TRUE(HasErrorIcon(m_messages[1].flags));
  EXPECT_EQ(panel.nResult, 0);
}

}  // namespace
