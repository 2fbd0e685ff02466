// The PCB workbook export end to end: a copy of a workbook a spreadsheet
// application made, in a temporary executable directory, checked with the
// module's own reader and with python3-xlrd.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

#include "platform/Clock.h"
#include "platform/ExeDirectory.h"
#include "platform/FileLock.h"
#include "platform/TextCodec.h"
#include "results/PcbWorkbookExport.h"
#include "spreadsheet/SpreadSheet.h"
#include "tests/SpreadsheetTempDir.h"
#include "tests/XlrdDump.h"

using V = std::vector<std::string>;
using Rows = std::vector<V>;

namespace {

std::time_t At(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return ::timegm(&t);
}

std::vector<PcbWorkbookItem> Items(const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::vector<PcbWorkbookItem> items;
  for (const auto& [name, value] : pairs) items.push_back({platform::Utf8ToGbk(name), platform::Utf8ToGbk(value)});
  return items;
}

class PcbExport : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    record.strModel = "M";
  }
  std::string Install(const std::string& fixture = "lo_empty_3sheets.xls") {
    std::filesystem::copy_file(FixturePath("xls/" + fixture), Workbook());
    return Workbook();
  }
  std::string Workbook() const { return dir.File("PCB.xls"); }
  int Export(const std::vector<PcbWorkbookItem>& items, const std::string& serial = "SN001") {
    return ExportToPcbWorkbook(record, serial, items, &lastError);
  }
  Rows Sheet(const std::string& utf8Name) {
    XlrdBook book = XlrdDump(Workbook());
    EXPECT_TRUE(book.ok) << book.error;
    auto it = book.rows.find(utf8Name);
    return it == book.rows.end() ? Rows{} : it->second;
  }

  SpreadsheetTempDir dir;
  platform::ScopedExeDirectoryOverride exeDir{dir.Path().string()};
  platform::ScopedClockOverride clock{At(2026, 12, 5, 11, 55, 18)};
  ResultStructrue record;
  std::string lastError;
};

}  // namespace

TEST_F(PcbExport, FirstExportCreatesTheModelSheetAndLaterOnesAppend) {
  Install();
  ASSERT_EQ(Export(Items({{"A", "PASS"}, {"B", "1.23"}, {"C", "FAIL"}})), 1) << lastError;
  EXPECT_EQ(Sheet("M"), (Rows{{U8(u8"时间"), "SN", "A", "B", "C"},
                              {U8(u8"当前日期：2026/12/05  11:55:18"), "SN001", "PASS", "1.23", "FAIL"}}));
  XlrdBook book = XlrdDump(Workbook());
  EXPECT_EQ(book.sheetNames, (V{"Sheet1", "Sheet2", "Sheet3", "M"}));

  platform::ScopedClockOverride later(At(2026, 12, 5, 12, 0, 1));
  ASSERT_EQ(Export(Items({{"A", "FAIL"}, {"B", "2"}, {"C", "PASS"}}), "SN002"), 1) << lastError;
  Rows rows = Sheet("M");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (V{U8(u8"时间"), "SN", "A", "B", "C"}));
  EXPECT_EQ(rows[2], (V{U8(u8"当前日期：2026/12/05  12:00:01"), "SN002", "FAIL", "2", "PASS"}));

  // The module reads back what it wrote, as GBK.
  CSpreadSheet sheet(Workbook(), "M", false);
  EXPECT_EQ(sheet.GetTotalRows(), 3);
  std::string cell;
  ASSERT_TRUE(sheet.ReadCell(cell, 1, 2));
  EXPECT_EQ(cell, platform::Gbk(u8"当前日期：2026/12/05  11:55:18"));
}

TEST_F(PcbExport, BackupSheetIsMadeByTheFirstExportIntoAnExistingSheetOnly) {
  Install();
  ASSERT_EQ(Export(Items({{"A", "1"}})), 1);
  EXPECT_EQ(XlrdDump(Workbook()).sheetNames, (V{"Sheet1", "Sheet2", "Sheet3", "M"}));
  ASSERT_EQ(Export(Items({{"A", "2"}})), 1);
  EXPECT_EQ(Sheet("CSpreadSheetBackup").size(), 2u);  // header and the first row
  ASSERT_EQ(Export(Items({{"A", "3"}})), 1);
  EXPECT_EQ(Sheet("CSpreadSheetBackup").size(), 2u);
  EXPECT_EQ(Sheet("M").size(), 4u);
}

TEST_F(PcbExport, ValuesGoByPositionUnderTheStoredHeader) {
  Install();
  ASSERT_EQ(Export(Items({{"A", "a1"}, {"B", "b1"}, {"C", "c1"}})), 1);

  // More items than the sheet has item columns: refused, still TRUE.
  EXPECT_EQ(Export(Items({{"A", "a"}, {"B", "b"}, {"C", "c"}, {"D", "d"}})), 1);
  EXPECT_EQ(lastError, "Number of columns to be added cannot be greater than the number of fields\n");
  EXPECT_EQ(Sheet("M").size(), 2u);

  // Fewer items: the last columns stay empty; other names do not matter.
  EXPECT_EQ(Export(Items({{"X", "x"}, {"Y", "y"}}), "SN3"), 1);
  Rows rows = Sheet("M");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (V{U8(u8"时间"), "SN", "A", "B", "C"}));
  EXPECT_EQ(rows[2], (V{U8(u8"当前日期：2026/12/05  11:55:18"), "SN3", "x", "y", ""}));
}

TEST_F(PcbExport, RepeatedItemNamesOnANewSheetWriteNothing) {
  Install();
  std::string before = ReadWholeFile(Workbook());
  EXPECT_EQ(Export(Items({{"A", "1"}, {"A", "2"}})), 1);
  EXPECT_EQ(ReadWholeFile(Workbook()), before);
  EXPECT_EQ(XlrdDump(Workbook()).sheetNames, (V{"Sheet1", "Sheet2", "Sheet3"}));
}

TEST_F(PcbExport, AListWithoutRowsWritesNoRow) {
  Install();
  EXPECT_EQ(Export({}), 1);
  EXPECT_EQ(XlrdDump(Workbook()).sheetNames, (V{"Sheet1", "Sheet2", "Sheet3"}));
}

TEST_F(PcbExport, MissingWorkbookIsNeverCreated) {
  EXPECT_EQ(Export(Items({{"A", "1"}})), 0);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  std::filesystem::create_directory(Workbook());  // a folder of that name is no workbook either
  EXPECT_EQ(Export(Items({{"A", "1"}})), 0);
}

TEST_F(PcbExport, UnreadableWorkbookReturnsFalseAndStaysAsItWas) {
  WriteWholeFile(Workbook(), "not a workbook at all");
  EXPECT_EQ(Export(Items({{"A", "1"}})), 0);
  EXPECT_FALSE(lastError.empty());
  EXPECT_EQ(ReadWholeFile(Workbook()), "not a workbook at all");
}

TEST_F(PcbExport, ModelNamesASheetCannotHaveAreReported) {
  Install();
  std::string before = ReadWholeFile(Workbook());
  record.strModel = "IPC/4MP";
  EXPECT_EQ(Export(Items({{"A", "1"}})), 0);
  EXPECT_NE(lastError.find("IPC/4MP"), std::string::npos) << lastError;
  for (const std::string& model : {std::string(), std::string(32, 'M'), std::string("NVR:8"), std::string("D*")}) {
    record.strModel = model;
    lastError.clear();
    EXPECT_EQ(Export(Items({{"A", "1"}})), 0) << model;
    EXPECT_FALSE(lastError.empty()) << model;
  }
  EXPECT_EQ(ReadWholeFile(Workbook()), before);
}

TEST_F(PcbExport, ChineseModelSerialAndQuotesSurvive) {
  Install("lo_two_sheets.xls");
  record.strModel = platform::Gbk(u8"型号A");
  // The existing sheet's header is kept; the values go under A and B.
  ASSERT_EQ(Export(Items({{U8(u8"亮度"), U8(u8"合格")}, {"B", "it's \"ok\""}}), platform::Gbk(u8"序列-1")), 1)
      << lastError;
  Rows rows = Sheet(U8(u8"型号A"));
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], (V{U8(u8"时间"), "SN", "A", "B"}));
  EXPECT_EQ(rows[4], (V{U8(u8"当前日期：2026/12/05  11:55:18"), U8(u8"序列-1"), U8(u8"合格"), "it's \"ok\""}));
  EXPECT_EQ(Sheet("Numbers"), XlrdDump(FixturePath("xls/lo_two_sheets.xls")).rows["Numbers"]);
}

TEST_F(PcbExport, AWorkbookHeldByAnotherStationTooLongReturnsFalse) {
  Install();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    platform::FileLock lock(Workbook());
    char c = 'x';
    (void)!::write(ready[1], &c, 1);
    ::pause();
    ::_exit(0);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  std::string before = ReadWholeFile(Workbook());
  EXPECT_EQ(Export(Items({{"A", "1"}})), 0);
  EXPECT_NE(lastError.find("in use by another process"), std::string::npos) << lastError;
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_EQ(ReadWholeFile(Workbook()), before);
  // Once the other station lets go the export goes through.
  EXPECT_EQ(Export(Items({{"A", "1"}})), 1) << lastError;
}

// The row's time is the time it was written: an export that had to wait for
// another station does not date its row from before the wait.
TEST(PcbExportTime, TheRowIsDatedAfterWaitingForAnotherStation) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  SpreadsheetTempDir dir;
  platform::ScopedExeDirectoryOverride exeDir{dir.Path().string()};
  std::filesystem::copy_file(FixturePath("xls/lo_empty_3sheets.xls"), dir.File("PCB.xls"));
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    platform::FileLock lock(dir.File("PCB.xls"));
    char c = 'x';
    (void)!::write(ready[1], &c, 1);
    ::sleep(3);
    ::_exit(0);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  std::time_t start = std::time(nullptr);
  ResultStructrue record;
  record.strModel = "M";
  std::string lastError;
  EXPECT_EQ(ExportToPcbWorkbook(record, "SN1", Items({{"A", "1"}}), &lastError), 1) << lastError;
  ::waitpid(holder, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  XlrdBook book = XlrdDump(dir.File("PCB.xls"));
  ASSERT_TRUE(book.ok) << book.error;
  ASSERT_EQ(book.rows["M"].size(), 2u);
  std::string label = book.rows["M"][1][0];
  std::string earliest = U8(u8"当前日期：") + platform::FormatLocalTime(start + 2, "%Y/%m/%d  %H:%M:%S");
  EXPECT_GE(label, earliest);
}

TEST_F(PcbExport, LibreOfficeOpensTheExportedWorkbookWithEverySheet) {
  if (::access("/usr/bin/soffice", X_OK) != 0) GTEST_SKIP() << "LibreOffice is not installed";
  Install("lo_two_sheets.xls");
  record.strModel = "IPC-1";
  ASSERT_EQ(Export(Items({{U8(u8"电压"), "12.1"}, {"Video", "PASS"}}), "SN1"), 1) << lastError;
  ASSERT_EQ(Export(Items({{U8(u8"电压"), "11.9"}, {"Video", "FAIL"}}), "SN2"), 1) << lastError;

  // Convert to OpenDocument with LibreOffice and list the sheets and the
  // model sheet's cells it read.
  std::string out = dir.File("out");
  std::string command = "cd '" + dir.Path().string() + "' && timeout 240 /usr/bin/soffice --headless --norestore " +
                        "-env:UserInstallation=file://" + dir.File("profile") + " --convert-to ods --outdir '" + out +
                        "' PCB.xls >/dev/null 2>&1 && /usr/bin/python3 -c '"
                        "import re,sys,zipfile\n"
                        "c=zipfile.ZipFile(sys.argv[1]).read(\"content.xml\").decode()\n"
                        "print(\"|\".join(re.findall(r\"<table:table table:name=\\\"([^\\\"]*)\\\"\",c)))\n"
                        "i=c.find(\"table:name=\\\"IPC-1\\\"\")\n"
                        "p=re.findall(r\"<text:p>(.*?)</text:p>\",c[i:c.find(\"</table:table>\",i)])\n"
                        "print(\"|\".join(re.sub(r\"<[^>]*>\",\"\",x.replace(\"<text:s/>\",\" \")) for x in p))"
                        "' '" + out + "/PCB.ods'";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string text;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  ::pclose(pipe);
  EXPECT_EQ(text, U8(u8"型号A|Numbers|IPC-1|CSpreadSheetBackup\n"
                     u8"时间|SN|电压|Video|当前日期：2026/12/05  11:55:18|SN1|12.1|PASS|"
                     u8"当前日期：2026/12/05  11:55:18|SN2|11.9|FAIL\n"));
}
