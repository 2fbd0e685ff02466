// The PCB workbook export end to end: a copy of a workbook a spreadsheet
// application made, in a temporary executable directory, checked with
// python3-xlrd and LibreOffice Calc (reading GBK back through the accessor is
// checked in the spreadsheet tests).
#include <gtest/gtest.h>

#include <ctime>
#include <optional>

#include "platform/Clock.h"
#include "platform/ExeDirectory.h"
#include "spreadsheet/driver/FileLock.h"
#include "platform/TextCodec.h"
#include "results/PcbWorkbookExport.h"
#include "tests/ScratchFolder.h"
#include "tests/XlsPeerDump.h"

using V = std::vector<std::string>;
using Rows = std::vector<V>;

namespace {

constexpr std::time_t kExportTime = 1796471718;  // 2026/12/05 11:55:18 UTC
constexpr std::time_t kLaterTime = 1796472001;   // 2026/12/05 12:00:01 UTC

std::vector<results::PcbWorkbookItem> Items(const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::vector<results::PcbWorkbookItem> items;
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
  void Install(const std::string& fixture = "lo_empty_3sheets.xls") {
    std::filesystem::copy_file(FixturePath("xls/" + fixture), Workbook());
  }
  std::string Workbook() const { return dir.File("PCB.xls"); }
  int Export(const std::vector<results::PcbWorkbookItem>& items, const std::string& serial = "SN001") {
    return results::ExportToPcbWorkbook(record, serial, items, &lastError);
  }
  PeerBook Xlrd() {
    PeerBook book = XlrdRead(Workbook());
    EXPECT_TRUE(book.refusal.empty()) << book.refusal;
    return book;
  }
  Rows Sheet(const std::string& utf8Name) { return Xlrd().Texts(utf8Name); }
  ScratchFolder dir;
  platform::ScopedExeDirectoryOverride exeDir{dir.Path()};
  std::optional<platform::ScopedClockOverride> clock{std::in_place, kExportTime};
  ResultStructrue record;
  std::string lastError;
};

}  // namespace

// The end-to-end pass: a new model sheet beside the stored ones, then rows
// appended behind one backup of it, as xlrd and LibreOffice Calc read them.
TEST_F(PcbExport, FirstExportCreatesTheModelSheetAndLaterOnesAppendBehindOneBackup) {
  Install("lo_two_sheets.xls");
  ASSERT_EQ(
      Export(Items({{U8(u8"亮度"), U8(u8"合格")}, {"B", "it's \"ok\""}, {"C", "FAIL"}}), platform::Gbk(u8"序列-1")), 1)
      << lastError;
  EXPECT_EQ(Xlrd().Names(), (V{U8(u8"型号A"), "Numbers", "M"})) << "no backup of a new sheet";
  platform::ScopedClockOverride later(kLaterTime);
  ASSERT_EQ(Export(Items({{"A", "FAIL"}, {"B", "2"}, {"C", "PASS"}}), "SN002"), 1) << lastError;
  ASSERT_EQ(Export(Items({{"A", "PASS"}, {"B", "3"}, {"C", "PASS"}}), "SN003"), 1) << lastError;
  const Rows rows{{U8(u8"时间"), "SN", U8(u8"亮度"), "B", "C"},
                  {U8(u8"当前日期：2026/12/05  11:55:18"), U8(u8"序列-1"), U8(u8"合格"), "it's \"ok\"", "FAIL"},
                  {U8(u8"当前日期：2026/12/05  12:00:01"), "SN002", "FAIL", "2", "PASS"},
                  {U8(u8"当前日期：2026/12/05  12:00:01"), "SN003", "PASS", "3", "PASS"}};
  const V names{U8(u8"型号A"), "Numbers", "M", "CSpreadSheetBackup"};
  PeerBook book = Xlrd();
  EXPECT_EQ(book.Names(), names);
  EXPECT_EQ(book.Texts("M"), rows);
  EXPECT_EQ(book.Texts("CSpreadSheetBackup"), Rows(rows.begin(), rows.begin() + 2)) << "made by the second export only";
  EXPECT_EQ(book.Texts("Numbers"), XlrdRead(FixturePath("xls/lo_two_sheets.xls")).Texts("Numbers"));
  if (::access("/usr/bin/soffice", X_OK) != 0) GTEST_SKIP() << "LibreOffice is not installed";
  PeerBook calc = LibreOfficeRead(Workbook());
  EXPECT_EQ(calc.Names(), names) << calc.refusal;
  ASSERT_NE(calc.Find("M"), nullptr);
  EXPECT_EQ(calc.Find("M")->rows, rows);
}

TEST_F(PcbExport, ValuesGoByPositionUnderTheStoredHeader) {
  Install();
  ASSERT_EQ(Export(Items({{"A", "a1"}, {"B", "b1"}, {"C", "c1"}})), 1);
  // More items than the sheet has item columns: refused, still TRUE.
  EXPECT_EQ(Export(Items({{"A", "a"}, {"B", "b"}, {"C", "c"}, {"D", "d"}})), 1);
  EXPECT_EQ(lastError, "Number of columns to be added cannot be greater than the number of fields\n");
  // Fewer items: the last columns stay empty; other names do not matter.
  EXPECT_EQ(Export(Items({{"X", "x"}, {"Y", "y"}}), "SN3"), 1);
  EXPECT_EQ(Sheet("M"), (Rows{{U8(u8"时间"), "SN", "A", "B", "C"},
                              {U8(u8"当前日期：2026/12/05  11:55:18"), "SN001", "a1", "b1", "c1"},
                              {U8(u8"当前日期：2026/12/05  11:55:18"), "SN3", "x", "y", ""}}));
}

TEST_F(PcbExport, RepeatedItemNamesOnANewSheetOrNoItemsWriteNothing) {
  Install();
  const std::string before = ReadBytes(Workbook());
  for (const auto& items : {Items({{"A", "1"}, {"A", "2"}}), Items({})}) {
    EXPECT_EQ(Export(items), 1);
    EXPECT_EQ(ReadBytes(Workbook()), before);
  }
}

TEST_F(PcbExport, MissingOrUnreadableWorkbookReturnsFalseAndStaysAsItWas) {
  EXPECT_EQ(Export(Items({{"A", "1"}})), 0);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path())) << "a missing PCB.xls is never created";

  WriteBytes(Workbook(), "not a workbook at all");
  EXPECT_EQ(Export(Items({{"A", "1"}})), 0);
  EXPECT_FALSE(lastError.empty());
  EXPECT_EQ(ReadBytes(Workbook()), "not a workbook at all");
}

// (Each character a sheet name cannot hold is checked where sheets are named.)
TEST_F(PcbExport, ModelNamesASheetCannotHaveAreReported) {
  Install();
  const std::string before = ReadBytes(Workbook());
  for (const std::string& model : {std::string(), std::string(32, 'M'), std::string("IPC/4MP")}) {
    record.strModel = model;
    EXPECT_EQ(Export(Items({{"A", "1"}})), 0) << model;
  }
  EXPECT_NE(lastError.find("IPC/4MP"), std::string::npos) << lastError;
  EXPECT_EQ(ReadBytes(Workbook()), before);
}

// The row's time is the time it was written: an export that had to wait for
// another station does not date its row from before the wait. (A station that
// waits too long gets the database error, as any unreadable workbook.)
TEST_F(PcbExport, TheRowIsDatedAfterWaitingForAnotherStation) {
  Install();
  clock.reset();  // the real time
  const std::string held = dir.File("held");
  const std::time_t start = std::time(nullptr);
  // Another station holds PCB.xls for 3 s; this one exports meanwhile.
  EXPECT_TRUE(InChildrenAtOnce(2, [&](int station) {
    if (station == 0) {
      spreadsheet::FileLock lock(Workbook());
      WriteBytes(held, "");
      ::sleep(3);
      return 0;
    }
    while (!std::filesystem::exists(held)) ::usleep(5000);
    return Export(Items({{"A", "1"}})) == 1 ? 0 : 1;
  }));
  Rows rows = Sheet("M");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_GE(rows[1][0], U8(u8"当前日期：") + platform::FormatLocalTime(start + 2, "%Y/%m/%d  %H:%M:%S"));
}
