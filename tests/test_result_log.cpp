#include <sys/resource.h>

#include <csignal>

#include "results/ResultLog.h"
#include "results/ResultVerdict.h"
#include "tests/ResultSavingFixture.h"

namespace {

using namespace results_test;
using namespace std::string_literals;

// The list of the hand-checked log.
results::ResultListSnapshot UnitList() {
  return {"SN2603050001", 0,
          {{kVersionItem, "V4.1.0,", 1}, {kSyncCheck, "PASS", 1}, {kDisk, ";DISK1", 2},
           {kWebMacItem, "00:11:22:33:44:55,", 1}}};
}

std::string LineValue(const std::string& log, const std::string& prefix) {
  std::size_t at = log.find("\r\n" + prefix);
  if (at == std::string::npos) return "<missing>";
  at += 2 + prefix.size();
  return log.substr(at, log.find("\r\n", at) - at);
}

class ResultLogTest : public ResultSavingTest {
 protected:
  // Saves, checking that the save succeeded, and returns the file.
  std::string SaveAndRead(results::ResultListSnapshot& panel, const ResultStructrue& record) {
    EXPECT_EQ(results::WriteResultLog(panel, &record), 1);
    return ReadBytes(DateFolder() / (panel.strSerialNumber + "-20260305140709.txt"));
  }
  // A save that must fail and leave the verdict alone.
  void ExpectRefused(results::ResultListSnapshot panel) {
    panel.nResult = 2;
    const ResultStructrue record = UnitRecord();
    EXPECT_EQ(results::WriteResultLog(panel, &record), 0);
    EXPECT_EQ(panel.nResult, 2);
  }
};

TEST_F(ResultLogTest, VerdictFromJudgementAndPassFlags) {
  struct Case {
    const char* name;
    int32_t nPrevious, nJudge;
    std::vector<int32_t> flags;
    int32_t nExpected;
    const char* expectedLine;
    const char* expectedText;  // the result text for the MES summary
  };
  const Case cases[] = {
      {"fail stops the walk", 1, 1, {1, 0, 1}, 0, "FAIL", "FAIL"},
      {"pass then neither", 0, 1, {1, 2}, 1, "PASS", "PASS"},
      {"neither alone keeps PASS", 1, 1, {2}, 1, "PASS", ""},
      {"no judgement", 1, 2, {1, 1}, 2, "NULL", "FAIL"},
      {"no rows keep undetermined", 2, 0, {}, 2, "NULL", ""},
      {"no rows, PASS under judge 0", 1, 0, {}, 1, "FAIL", ""},
      {"judgement outside 0..2", 1, 7, {0, 1}, 1, "FAIL", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    results::ResultListSnapshot panel = UnitList();
    panel.nResult = c.nPrevious;
    panel.rows.clear();
    for (int32_t f : c.flags) panel.rows.push_back(results::ResultRow{"item", "x", f});
    ResultStructrue record = UnitRecord();
    record.nJudge = c.nJudge;
    EXPECT_EQ(LineValue(SaveAndRead(panel, record), "Result     = "), c.expectedLine);
    EXPECT_EQ(panel.nResult, c.nExpected);
    EXPECT_EQ(results::DecideVerdict(c.nPrevious, c.nJudge, panel.rows).strResultText, c.expectedText);
  }
}

TEST_F(ResultLogTest, ComputerUserSplitsIntoComputerAndUserName) {
  // Whole, computer, user: 12 bytes (the fifth is dropped), 8, 7 and 5 bytes.
  const std::tuple<std::string, std::string, std::string> splits[] = {
      {"ABCD-1234567", "ABCD", "1234567"}, {"1234567", "", "1234567"}, {"A1234", "", "A1234"}};
  for (const auto& [whole, computer, user] : splits) {
    results::ResultListSnapshot panel = UnitList();
    ResultStructrue record = UnitRecord();
    record.strComputerUser = whole;
    const std::string log = SaveAndRead(panel, record);
    EXPECT_EQ(std::make_pair(LineValue(log, "ComputerName = "), LineValue(log, "UserName   = ")),
              std::make_pair(computer, user))
        << whole;
  }
}

// The hand-checked log holds the list's own MAC; here it has none.
TEST_F(ResultLogTest, LineBreakInARowEndsInCrLfAndNoOwnMacLeavesTheMacListEmpty) {
  results::ResultListSnapshot panel = UnitList();
  panel.rows.push_back(results::ResultRow{"line\nbreak", "a = b, c", 1});  // written as it stands
  ResultStructrue record = UnitRecord();
  record.mapMac.erase(panel.strSerialNumber);
  const std::string log = SaveAndRead(panel, record);
  const std::string tail = "\r\nline\r\nbreak = a = b, c\r\n[MACLIST]\r\n[END]";
  ASSERT_GT(log.size(), tail.size());
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
}

// Unset ones silently; ones that would leave the date folder with the message.
TEST_F(ResultLogTest, SerialNumberUnsetOrUnusableAsFileNameWritesNothing) {
  // A lead byte before a byte that cannot end a GBK character does not hide that byte.
  const std::pair<std::string, std::size_t> serials[] = {{"", 0},        {"0", 0},         {"../SN1", 1},
                                                         {"SN\\1", 1},   {"SN\x01"s, 1},   {"SN\0"s, 1},
                                                         {"SN\x81/1", 1}, {"SN\376\0011", 1}};
  for (const auto& [serial, messages] : serials) {
    SCOPED_TRACE(serial);
    m_messages.clear();
    results::ResultListSnapshot panel = UnitList();
    panel.strSerialNumber = serial;
    ExpectRefused(panel);
    ExpectSaveFailedShown(messages);
  }
  EXPECT_TRUE(FilesBelow(m_station).empty());
}

// The executable directory and the serial number are GBK texts; the file
// system names are UTF-8. A character whose second byte is "\" is no separator.
TEST_F(ResultLogTest, GbkNamesAreTheSameNamesOnDisk) {
  const fs::path station = m_station / fs::path(u8"测试站");
  fs::create_directories(station);
  platform::ScopedExeDirectoryOverride exeDir(platform::Utf8ToGbk(station.string()));
  results::ResultListSnapshot panel = UnitList();
  panel.strSerialNumber = "SN\x81\x5C" "1";
  const ResultStructrue record = UnitRecord();
  EXPECT_EQ(results::WriteResultLog(panel, &record), 1);
  EXPECT_EQ(FilesBelow(m_station),
            std::vector<std::string>{"测试站/TestResult/20260305/" + platform::GbkToUtf8(panel.strSerialNumber) +
                                     "-20260305140709.txt"});
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(ResultLogTest, FileThatCannotBeCreatedShowsTheMessageAndKeepsTheVerdict) {
  // A folder where the file belongs: it cannot be opened, even by root.
  fs::create_directories(DateFolder() / "SN2603050001-20260305140709.txt");
  ExpectRefused(UnitList());
  ExpectSaveFailedShown(1);
}

TEST_F(ResultLogTest, WriteThatFailsIsNotReportedAsSaved) {
  struct rlimit saved {};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tiny = saved;
  tiny.rlim_cur = 64;  // far less than one log
  setrlimit(RLIMIT_FSIZE, &tiny);
  results::ResultListSnapshot panel = UnitList();
  const ResultStructrue record = UnitRecord();
  EXPECT_EQ(results::WriteResultLog(panel, &record), 0);  // (the verdict is already decided by then)
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  ExpectSaveFailedShown(1);
}

TEST_F(ResultLogTest, SameSecondReplacesTheFileAndTheDateFollowsTheClock) {
  results::ResultListSnapshot panel = UnitList();
  ResultStructrue record = UnitRecord();
  SaveAndRead(panel, record);
  panel.rows.pop_back();
  EXPECT_EQ(SaveAndRead(panel, record).find("WEB"), std::string::npos);  // not appended to

  platform::ScopedClockOverride nextDay(kSaveTime + 86400 + 3600);
  EXPECT_EQ(results::WriteResultLog(panel, &record), 1);
  EXPECT_EQ(FilesBelow(TestResult()), (std::vector<std::string>{"20260305/SN2603050001-20260305140709.txt",
                                                                "20260306/SN2603050001-20260306150709.txt"}));
}

}  // namespace
