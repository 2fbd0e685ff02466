// CSpreadSheet over .xls workbooks, through the database layer and its
// workbook engine; results are checked with python3-xlrd as well.
#include <gtest/gtest.h>


#include "spreadsheet/driver/Database.h"
#include "platform/TextCodec.h"
#include "spreadsheet/SpreadSheet.h"
#include "tests/ScratchFolder.h"
#include "tests/SpreadSheetReading.h"
#include "tests/XlsPeerDump.h"

using V = std::vector<std::string>;
using platform::Gbk;

namespace {

class WorkbookSheet : public ::testing::Test {
 protected:
  // A copy of a fixture workbook in the test's own folder.
  std::string Copy(const std::string& fixture, const std::string& name = "book.xls") {
    std::string path = dir.File(name);
    std::filesystem::copy_file(FixturePath("xls/" + fixture), path);
    return path;
  }
  // A sheet with a header and rows, written by the object itself.
  void Fill(const std::string& path, const std::string& sheetName, const V& header, const std::vector<V>& rows) {
    CSpreadSheet sheet(path, sheetName, false);
    sheet.BeginTransaction();
    ASSERT_TRUE(sheet.AddHeaders(header)) << sheet.m_strLastError;
    for (const V& r : rows) ASSERT_TRUE(sheet.AddRow(r)) << sheet.m_strLastError;
    ASSERT_TRUE(sheet.Commit()) << sheet.m_strLastError;
  }
  ScratchFolder dir;
};

// A sheet's texts as python3-xlrd reads them.
std::vector<V> SheetRows(const std::string& path, const std::string& utf8Name) {
  return XlrdRead(path).Texts(utf8Name);
}

}  // namespace

TEST_F(WorkbookSheet, NewSheetIsCreatedBesideTheOthersAndLoadsBack) {
  std::string path = Copy("lo_two_sheets.xls", "BOOK.XLS");
  {
    CSpreadSheet missing(path, "M", true);
    EXPECT_TRUE(missing.IsWorkbook()) << "the extension is compared without regard to case";
    EXPECT_FALSE(missing.IsExisting());
  }
  Fill(path, "M", {"A", "B"}, {{"1", "x"}, {"2", ""}});
  PeerBook book = XlrdRead(path);
  ASSERT_TRUE(book.refusal.empty()) << book.refusal;
  EXPECT_EQ(book.Names(), (V{U8(u8"型号A"), "Numbers", "M"})) << "no backup of an empty sheet";
  EXPECT_EQ(book.Texts("M"), (std::vector<V>{{"A", "B"}, {"1", "x"}, {"2", ""}}));

  CSpreadSheet sheet(path, "M", false);
  EXPECT_EQ((std::pair<int, int>(sheet.GetTotalRows(), sheet.GetTotalColumns())), std::pair(3, 2));
}

TEST_F(WorkbookSheet, HeaderAndRowRulesOfAWorkbook) {
  std::string path = Copy("lo_empty_1sheet.xls");
  CSpreadSheet sheet(path, "S", false);
  sheet.BeginTransaction();
  EXPECT_FALSE(sheet.AddRow({"1"}));
  EXPECT_EQ(sheet.m_strLastError, "No header row. Add header row first\n");
  ASSERT_TRUE(sheet.AddHeaders({"Time", "SN", "X"}));  // (repeated names and extra values: the export tests)
  EXPECT_FALSE(sheet.AddRow({"1"}, 65537));
  EXPECT_EQ(sheet.m_strLastError, "Row cannot be greater than 65536 in a worksheet\n");
  ASSERT_TRUE(sheet.AddRow({"1", "2"}));
  ASSERT_TRUE(sheet.Commit()) << sheet.m_strLastError;

  // A stored header is extended only by names it does not hold yet.
  CSpreadSheet stored(path, "S", false);
  EXPECT_FALSE(stored.AddHeaders({"Y", "SN"}, false));
  EXPECT_EQ(stored.m_strLastError, "Duplicate header row field:SN\n");
  ASSERT_TRUE(stored.AddHeaders({"Y"}, false)) << stored.m_strLastError;
  EXPECT_EQ(SheetRows(path, "S"), (std::vector<V>{{"Time", "SN", "X", "Y"}, {"1", "2", "", ""}}));
}

// Quotes and brackets reach the statements escaped, and the trail byte of 乚
// (0x81 0x5D in GBK) is the code of ']' but must not be doubled as if it were
// one: in the sheet's name, its header and values, and in its backup's copy.
TEST_F(WorkbookSheet, QuotesBracketsAndTwoByteCharactersAreStoredAsTheyAre) {
  const std::string bracketByte = Gbk(u8"乚"), sheetName = Gbk(u8"型号乚");
  ASSERT_EQ(bracketByte, "\x81\x5D");
  const V header{"it's", "a]b", bracketByte, Gbk(u8"乚]乚")};
  std::string path = Copy("lo_empty_3sheets.xls");
  Fill(path, sheetName, header, {{"O'Brien", "''", "1", "2"}});
  {
    CSpreadSheet sheet(path, sheetName, true);
    EXPECT_EQ(Names(sheet), header);
    ASSERT_TRUE(sheet.AddRow({"4", bracketByte, "6", "''"})) << sheet.m_strLastError;
  }
  const std::vector<V> rows{
      {"it's", "a]b", U8(u8"乚"), U8(u8"乚]乚")}, {"O'Brien", "''", "1", "2"}, {"4", U8(u8"乚"), "6", "''"}};
  PeerBook book = XlrdRead(path);
  EXPECT_EQ(book.Names(), (V{"Sheet1", "Sheet2", "Sheet3", U8(u8"型号乚"), "CSpreadSheetBackup"}));
  EXPECT_EQ(book.Texts(U8(u8"型号乚")), rows);
  EXPECT_EQ(book.Texts("CSpreadSheetBackup"), std::vector<V>(rows.begin(), rows.begin() + 2));
}

TEST_F(WorkbookSheet, AFailedCommitLeavesTheStoredSheetWhole) {
  std::string path = Copy("lo_empty_3sheets.xls");
  Fill(path, "S", {"A"}, {{"1"}, {"2"}});
  std::string before = ReadBytes(path);
  {
    CSpreadSheet sheet(path, "S", false);
    sheet.BeginTransaction();
    ASSERT_TRUE(sheet.AddRow({"3"}));
    ASSERT_TRUE(sheet.AddRow({std::string(40000, 'x')}));  // too long for a cell
    ASSERT_TRUE(sheet.AddRow({"5"}));
    EXPECT_FALSE(sheet.Commit());
    EXPECT_NE(sheet.m_strLastError.find("too long"), std::string::npos) << sheet.m_strLastError;
  }
  EXPECT_EQ(ReadBytes(path), before);
}

// A stored worksheet's rows below the header are read from the file only when
// first needed; the changes an export makes must keep every one of them.
TEST_F(WorkbookSheet, RowsReadOnFirstUseAreKeptByTheChangesOfAnExport) {
  std::vector<V> stored{{"A", "B", "C"}};  // the header, then 40 rows
  for (int r = 0; r < 40; ++r) stored.push_back({std::to_string(r), "x" + std::to_string(r), r % 2 ? "" : "e"});
  for (bool addColumn : {false, true}) {
    SCOPED_TRACE(addColumn ? "a column added to the header" : "a row appended");
    ScratchFolder folder;
    std::string path = folder.File("book.xls");
    std::filesystem::copy_file(FixturePath("xls/lo_empty_3sheets.xls"), path);
    Fill(path, "S", stored[0], std::vector<V>(stored.begin() + 1, stored.end()));
    std::vector<V> expected = stored;
    {
      CSpreadSheet sheet(path, "S", false);
      EXPECT_EQ(Names(sheet), stored[0]);
      ASSERT_TRUE(addColumn ? sheet.AddHeaders({"D"}, false) : sheet.AddRow({"new", "n", "n"})) << sheet.m_strLastError;
      if (!addColumn) EXPECT_EQ(RowAt(sheet, 41), stored[40]);
    }
    if (addColumn)
      for (auto& row : expected) row.push_back(&row == &expected[0] ? "D" : "");
    if (!addColumn) expected.push_back({"new", "n", "n"});
    EXPECT_EQ(SheetRows(path, "S"), expected);
  }
}
