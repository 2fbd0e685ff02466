#include <fstream>
#include <map>
#include <optional>

#include "results/FaultCodes.h"
#include "results/ResultSummary.h"
#include "results/StringBetween.h"
#include "tests/ResultSavingFixture.h"

namespace {

using namespace results_test;

TEST(GetStringBetween, TrimmedTextBetweenTheFirstMarkersOrTheErrorTexts) {
  struct Case {
    std::string text, start, end, expected;
  };
  const Case cases[] = {
      {"k1 = v1,k2 = \t V1.2 \r\n, b = x,", "k2 = ", ",", "V1.2"},
      {" \v\fall\f ", "", "", "all"},
      {"head, tail ", ",", "", "tail"},
      {"no markers here", "v = ", ",", "sStartStr error"},
      {"v = 1.0 and no comma", "v = ", ",", "sEndStr error"},
      {", v = 1.0", "v = ", ",", "sEndStr error"},  // the end counts only after the start
      // In 0x81 0x40 and 0x81 0x5C (octal 201 100, 201 134) the second bytes look like "@" and "\".
      {"\201\100AB@CD\201\134EF\\GH", "@", "\\", "CD\201\134EF"},
      {"@x\x81\x40", "@", "@", "sEndStr error"},
  };
  for (const Case& c : cases) EXPECT_EQ(results::GetStringBetween(c.text, c.start, c.end), c.expected) << c.text;
}

std::string Line(const std::string& item, const char* result) {
  return item + " = " + result + "\n";
}

TEST(FaultCodes, EachFailedCheckAddsItsCodeAndASemicolonInTableOrder) {
  const std::string nvrPass = "Result     = FAIL\n" + Line(kSyncDone, "PASS") + Line(kSyncCheck, "PASS") +
                              Line(kAlarm, "PASS") + Line(kVideoStandard + "PAL", "PASS") + Line(kPlayback, "PASS") +
                              Line(kRemoteIpc, "PASS");
  const std::string dvrPass = "Result     = FAIL\n" + Line(kSyncDone, "PASS") + Line(kSyncCheck, "PASS") +
                              Line(kVideoStandard + "NTSC", "PASS") + Line(kDisk, ";DISK1") + Line(kPlayback, "PASS");
  std::string nvrWithoutStandard = nvrPass;
  nvrWithoutStandard.erase(nvrWithoutStandard.find(kVideoStandard), Line(kVideoStandard + "PAL", "PASS").size());
  struct Case {
    const char* name;
    std::string step, log, resultText, bugType;
    bool upload;
  };
  const Case cases[] = {
      {"NVR all checks, no PASS line", kNvrStep, nvrPass, "FAIL", "", true},
      {"NVR some missing", kNvrStep,
       "Result     = FAIL\n" + Line(kSyncCheck, "PASS") + Line(kVideoStandard + "NTSC", "PASS") +
           Line(kRemoteIpc, "PASS") + Line(kDisk + ",FAIL", "FAIL"),
       "FAIL", "D2201;D2208;D2802;D2802;", true},
      {"NVR nothing", kNvrStep, "", "", "D2201;D2202;D2208;D2211;D2802;D2802;", true},
      {"NVR no standard", kNvrStep, nvrWithoutStandard, "FAIL", "D2211;", true},
      {"NVR NTSC", kNvrStep, nvrWithoutStandard + Line(kVideoStandard + "NTSC", "PASS, 60Hz"), "FAIL", "", true},
      {"NVR PASS line", kNvrStep, "Result     = PASS\n", "PASS", "D0000;", true},
      {"DVR all checks", kDvrStep, dvrPass, "FAIL", "", true},
      {"DVR nothing", kDvrStep, "", "", "D2201;D2202;D2211;D2802;D2802;", true},
      {"DVR PASS line", kDvrStep, "Result     = PASS\n", "", "D0000;", true},
      {"IPC passed", kIpcStep, "", "PASS", "D0000;", true},
      {"IPC failed", kIpcStep, "Result     = PASS\n", "FAIL", "", false},
      {"step with a blank", kNvrStep + " ", "Result     = PASS\n", "PASS", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const results::FamilyOutcome o = results::ApplyFamilyRules(c.step, c.log, c.resultText);
    EXPECT_EQ(o.bUpload, c.upload);
    if (c.upload) EXPECT_EQ(o.strBugType, c.bugType);
  }
}

// The reported values that differ between units, in this order.
using Values = std::vector<std::string>;  // OrderNo, MacList, DealResult, BugType, TempColumn, ToolType, Version
Values Varying(const results::MesUploadValues& v) {
  return {v.strOrderNo, v.strMacList, v.strDealResult, v.strBugType, v.strTempColumn, v.strToolType, v.strVersion};
}

// Rows with their pass flags: "FAIL" fails, any other result passes.
std::vector<results::ResultRow> Rows(const std::vector<std::pair<std::string, std::string>>& items) {
  std::vector<results::ResultRow> rows;
  for (const auto& [item, result] : items) rows.push_back({item, result, result == "FAIL" ? 0 : 1});
  return rows;
}

using SummaryTest = ResultSavingTest;

// Each unit writes its summary log; the reported values come from its text,
// and BugReason is that very text with LF line ends.
TEST_F(SummaryTest, ValuesReportedForEachKindOfUnit) {
  const std::string sn = "SN2603050001", pcba = platform::Gbk(u8"PCBA_功能测试");
  const std::string camera = platform::Gbk(u8"图像与菜单显示确认通过"), noStart = "sStartStr error";
  const struct {
    const char* name;
    std::string step, serial;
    std::vector<results::ResultRow> rows;
    std::optional<Values> values;  // none: not reported
  } units[] = {
      // No version or MAC row: the error texts are passed on as values.
      {"failing unit", pcba, sn, Rows({{kSyncDone, "PASS"}, {kPlayback, "FAIL"}}),
       Values{"SN26030", noStart, "FAIL", "", "sS", pcba, noStart}},
      // The first two bytes of a GBK version: its first character.
      {"passing camera", kIpcStep, sn, Rows({{kVersionItem, platform::Gbk(u8"版本V5.7 build 1,")}, {camera, "PASS"}}),
       Values{"SN26030", noStart, "PASS", "D0000;", platform::Gbk(u8"版"), kIpcStep,
              platform::Gbk(u8"版本V5.7 build 1")}},
      {"failing camera", kIpcStep, sn, Rows({{camera, "FAIL"}}), std::nullopt},
      // A version without a comma runs to the next comma.
      {"other route step", pcba, sn, Rows({{kVersionItem, "V1"}, {kWebMacItem, "AA:BB,"}}),
       Values{"SN26030", "AA:BB", "PASS", "", "V1", pcba, "V1\n" + kWebMacItem + " = AA:BB"}},
      // A short serial number is the whole order number; a short version is filled with zero bytes.
      {"short serial number and version", pcba, "AB123", Rows({{kVersionItem, "7,"}}),
       Values{"AB123", noStart, "PASS", "", std::string("7\0", 2), pcba, "7"}},
  };
  for (const auto& u : units) {
    SCOPED_TRACE(u.name);
    results::ResultListSnapshot panel{u.serial, 0, u.rows};
    ResultStructrue record = UnitRecord(u.serial);
    record.strRouteStepName = u.step;
    const std::optional<results::MesUploadValues> got = results::WriteResultSummary(panel, record);
    const std::string file = ReadBytes(TestResult() / (u.serial + "-20260305140709.txt"));
    ASSERT_FALSE(file.empty());  // also a unit that is not reported keeps its log
    ASSERT_EQ(got.has_value(), u.values.has_value());
    if (!got) continue;
    EXPECT_EQ(Varying(*got), *u.values);
    EXPECT_EQ(got->strSerialNumber, u.serial);
    EXPECT_EQ(WithCrLf(got->strBugReason), file);
  }
  EXPECT_TRUE(m_messages.empty());
}

// A blocked folder shows the message (refused serial numbers: the result
// log and saving tests).
TEST_F(SummaryTest, AUnitThatCannotBeWrittenIsNotReported) {
  std::ofstream(TestResult()) << "a file where the folder belongs";
  results::ResultListSnapshot panel{"SN2603050001", 2, Rows({{kVersionItem, "V4.1.0,"}})};
  EXPECT_FALSE(results::WriteResultSummary(panel, UnitRecord(panel.strSerialNumber)));
  EXPECT_EQ(panel.nResult, 2);
  ExpectSaveFailedShown(1);
  EXPECT_EQ(FilesBelow(m_station), std::vector<std::string>{"TestResult"});
}

}  // namespace
