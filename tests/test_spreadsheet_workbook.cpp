// CSpreadSheet over .xls workbooks, through the database layer and its
// workbook engine; results are checked with python3-xlrd as well.
#include <gtest/gtest.h>

#include <functional>

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
  EXPECT_EQ(book.Texts("Numbers"), SheetRows(FixturePath("xls/lo_two_sheets.xls"), "Numbers"))
      << "other sheets are kept";

  CSpreadSheet sheet(path, "M", false);
  EXPECT_EQ((std::pair<int, int>(sheet.GetTotalRows(), sheet.GetTotalColumns())), std::pair(3, 2));
  EXPECT_EQ(RowAt(sheet, 3), (V{"2", ""}));
}

TEST_F(WorkbookSheet, HeaderAndRowRulesOfAWorkbook) {
  std::string path = Copy("lo_empty_1sheet.xls");
  CSpreadSheet sheet(path, "S", false);
  sheet.BeginTransaction();
  EXPECT_FALSE(sheet.AddRow({"1"}));
  EXPECT_EQ(sheet.m_strLastError, "No header row. Add header row first\n");

  EXPECT_FALSE(sheet.AddHeaders({"Time", "SN", "Time"}));
  EXPECT_EQ(sheet.m_strLastError, "Duplicate header row field:Time\n");
  EXPECT_TRUE(Names(sheet).empty());

  ASSERT_TRUE(sheet.AddHeaders({"Time", "SN", "X"}));
  EXPECT_FALSE(sheet.AddRow({"1", "2", "3", "4"}));
  EXPECT_EQ(sheet.m_strLastError, "Number of columns to be added cannot be greater than the number of fields\n");
  EXPECT_FALSE(sheet.AddRow({"a", "b"}, 1, true));
  EXPECT_EQ(sheet.m_strLastError,
            "Number of columns in new header row cannot be less than the number of columns in previous header row");
  EXPECT_FALSE(sheet.AddRow({"1"}, 65537));
  EXPECT_EQ(sheet.m_strLastError, "Row cannot be greater than 65536 in a worksheet\n");
  ASSERT_TRUE(sheet.AddRow({"1", "2"}, 4));  // rows 2 and 3 are filler
  EXPECT_EQ(RowAt(sheet, 2), (V{" ", " ", " "}));
  EXPECT_FALSE(sheet.AddCell("v", 5, 2));
  EXPECT_EQ(sheet.m_strLastError, "Cell column to be added cannot be greater than the number of fields\n");
  EXPECT_FALSE(sheet.AddCell("SN", 3, 1));
  EXPECT_EQ(sheet.m_strLastError, "Duplicate header row field:SN\n");
  ASSERT_TRUE(sheet.Commit()) << sheet.m_strLastError;

  CSpreadSheet stored(path, "S", false);
  EXPECT_FALSE(stored.AddHeaders({"Y", "SN"}, false));
  EXPECT_EQ(stored.m_strLastError, "Duplicate header row field:SN\n");
  ASSERT_TRUE(stored.AddHeaders({"Y"}, false)) << stored.m_strLastError;
  EXPECT_EQ(Names(stored), (V{"Time", "SN", "X", "Y"}));
  EXPECT_EQ(SheetRows(path, "S"),
            (std::vector<V>{{"Time", "SN", "X", "Y"}, {" ", " ", " ", ""}, {" ", " ", " ", ""}, {"1", "2", "", ""}}));
}

// Quotes and brackets reach the statements escaped, and the trail byte of 乚
// (0x81 0x5D in GBK) is the code of ']' but must not be doubled as if it were
// one: in the sheet's name, its header and values, through every statement.
TEST_F(WorkbookSheet, QuotesBracketsAndTwoByteCharactersAreStoredAsTheyAre) {
  const std::string bracketByte = Gbk(u8"乚"), sheetName = Gbk(u8"型号乚");
  ASSERT_EQ(bracketByte, "\x81\x5D");
  const V header{"it's", "a]b", bracketByte, Gbk(u8"乚]乚")};
  std::string path = Copy("lo_empty_3sheets.xls");
  Fill(path, sheetName, header, {{"O'Brien", "''", "1", "2"}});
  {
    // A stored row changed: DROP, CREATE and INSERT again; then UPDATE.
    CSpreadSheet sheet(path, sheetName, false);
    ASSERT_TRUE(sheet.AddRow({"4", bracketByte, "6", "''"}, 2, true)) << sheet.m_strLastError;
    EXPECT_EQ(sheet.m_strLastError, "");
    ASSERT_TRUE(sheet.ReplaceRows({"D'Arcy", "8"}, {"4", bracketByte})) << sheet.m_strLastError;
  }
  PeerBook book = XlrdRead(path);
  EXPECT_EQ(book.Names(), (V{"Sheet1", "Sheet2", "Sheet3", U8(u8"型号乚")}));
  EXPECT_EQ(book.Texts(U8(u8"型号乚")),
            (std::vector<V>{{"it's", "a]b", U8(u8"乚"), U8(u8"乚]乚")}, {"D'Arcy", "8", "6", "''"}}));
  CSpreadSheet sheet(path, sheetName, false);
  EXPECT_EQ(Names(sheet), header);
  ASSERT_TRUE(sheet.DeleteSheet()) << sheet.m_strLastError;
  EXPECT_TRUE(SheetRows(path, U8(u8"型号乚")).empty());
}

TEST_F(WorkbookSheet, AFailedCommitOrARollBackLeavesTheStoredSheetWhole) {
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

  CSpreadSheet sheet(path, "S", false);
  sheet.BeginTransaction();
  ASSERT_TRUE(sheet.AddRow({"3"}));
  ASSERT_TRUE(sheet.RollBack());
  EXPECT_EQ(sheet.GetTotalRows(), 3) << "roll back reloads the stored sheet";
  EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(WorkbookSheet, DeleteAndReplaceRows) {
  std::string path = Copy("lo_empty_3sheets.xls");
  Fill(path, "S", {"A", "B"}, {{"0", "x"}, {"1", "y"}, {"0", "x"}});
  CSpreadSheet sheet(path, "S", false);
  ASSERT_TRUE(sheet.ReplaceRows({"1", "2"}, {"0", "x"})) << sheet.m_strLastError;
  EXPECT_EQ(SheetRows(path, "S"), (std::vector<V>{{"A", "B"}, {"1", "2"}, {"1", "y"}, {"1", "2"}}));
  EXPECT_FALSE(sheet.ReplaceRows({"1"}, {}));
  EXPECT_EQ(sheet.m_strLastError, "No values to replace or to match\n");

  EXPECT_FALSE(sheet.DeleteSheet("NoSuchSheet"));
  ASSERT_TRUE(sheet.DeleteSheet()) << sheet.m_strLastError;
  EXPECT_EQ(sheet.GetTotalRows(), 0);
  PeerBook book = XlrdRead(path);
  EXPECT_EQ(book.Names(), (V{"Sheet1", "Sheet2", "Sheet3", "S"}));  // emptied, kept
  EXPECT_TRUE(book.Texts("S").empty());
}

TEST_F(WorkbookSheet, ConvertFormatWritesTheSheetAsDelimitedText) {
  std::string path = Copy("lo_two_sheets.xls", "book.xls");
  CSpreadSheet sheet(path, Gbk(u8"型号A"), false);
  ASSERT_TRUE(sheet.ConvertFormat(","));
  std::string csv = ReadBytes(dir.File("book.csv"));
  EXPECT_EQ(csv.substr(0, csv.find('\n') + 1), Gbk(u8"\"时间\",\"SN\",\"A\",\"B\"\r\n"));
  // A target that already holds rows is left as it is.
  EXPECT_FALSE(sheet.ConvertFormat(","));
  EXPECT_EQ(ReadBytes(dir.File("book.csv")), csv);
}

TEST_F(WorkbookSheet, UnreadableWorkbookRaisesADatabaseError) {
  std::string path = dir.File("broken.xls");
  WriteBytes(path, "this is not a workbook");
  EXPECT_THROW(CSpreadSheet(path, "S", false), spreadsheet::CDBException);
  EXPECT_EQ(ReadBytes(path), "this is not a workbook");
}

// A stored worksheet's rows below the header are read from the file only when
// a member first needs them. Each case starts on a fresh object over the same
// stored sheet, so the member named is the first to touch the rows; what it
// answers and what reaches the file must be what the whole sheet says.
TEST_F(WorkbookSheet, RowsReadOnFirstUseAnswerEveryMemberAsTheStoredSheet) {
  std::vector<V> stored{{"A", "B", "C"}};  // the header, then 40 rows
  for (int r = 0; r < 40; ++r) stored.push_back({std::to_string(r), "x" + std::to_string(r), r % 2 ? "" : "e"});
  struct Case {
    const char* what;
    std::function<void(CSpreadSheet&)> act;
    std::function<void(std::vector<V>&)> change;  // to the stored rows, as xlrd reads the file afterwards
  };
  const std::vector<Case> cases = {
      {"ReadRow of every row, then of the current one past the end",
       [&](CSpreadSheet& s) {
         for (int r = 2; r <= 41; ++r) EXPECT_EQ(RowAt(s, r), stored[std::size_t(r - 1)]) << r;
         V row;
         EXPECT_FALSE(s.ReadRow(row, 43));
         EXPECT_EQ(s.m_strLastError, "Desired row is greater than total number of rows in spreadsheet\n");
       },
       nullptr},
      {"ReadCell by number and by name",
       [&](CSpreadSheet& s) {
         std::string a, b, c;
         ASSERT_TRUE(s.ReadCell(a, 2, 30) && s.ReadCell(b, "C", 3) && s.ReadCell(c, std::string("A"), 41, false))
             << s.m_strLastError;
         EXPECT_EQ(V({a, b, c}), V({"x28", "", "39"}));
         V column;
         ASSERT_TRUE(s.ReadColumn(column, 2));
         EXPECT_EQ(V({column.at(0), column.at(40)}), V({"B", "x39"}));
       },
       nullptr},
      {"a row appended, then the stored ones read",
       [&](CSpreadSheet& s) {
         ASSERT_TRUE(s.AddRow({"new", "n", "n"})) << s.m_strLastError;
         for (int r : {2, 41}) EXPECT_EQ(RowAt(s, r), stored[std::size_t(r - 1)]);
         EXPECT_EQ(RowAt(s, 42), (V{"new", "n", "n"}));
       },
       [](auto& rows) { rows.push_back({"new", "n", "n"}); }},
      {"the header replaced: the sheet is written anew",
       [](CSpreadSheet& s) { ASSERT_TRUE(s.AddHeaders({"P", "Q", "R"}, true)) << s.m_strLastError; },
       [](auto& rows) { rows[0] = {"P", "Q", "R"}; }},
      {"in one transaction: a row inserted, a cell changed and a row appended",
       [](CSpreadSheet& s) {
         s.BeginTransaction();
         ASSERT_TRUE(s.AddRow({"ins", "i", "i"}, 2, false) && s.AddCell("Y", 2, 4) && s.AddRow({"4"}));
         ASSERT_TRUE(s.Commit()) << s.m_strLastError;
       },
       [](auto& rows) {
         rows.insert(rows.begin() + 1, V{"ins", "i", "i"});
         rows[3][1] = "Y";
         rows.push_back({"4", "", ""});
       }},
      {"a column added to the header",
       [](CSpreadSheet& s) { ASSERT_TRUE(s.AddHeaders({"D"}, false)) << s.m_strLastError; },
       [](auto& rows) { for (auto& row : rows) row.push_back(&row == &rows[0] ? "D" : ""); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    std::string path = folder.File("book.xls");
    std::filesystem::copy_file(FixturePath("xls/lo_empty_3sheets.xls"), path);
    Fill(path, "S", stored[0], std::vector<V>(stored.begin() + 1, stored.end()));
    {
      CSpreadSheet sheet(path, "S", false);
      EXPECT_EQ(Names(sheet), stored[0]);
      c.act(sheet);
    }
    std::vector<V> expected = stored;
    if (c.change) c.change(expected);
    EXPECT_EQ(SheetRows(path, "S"), expected);
  }
}

// The rows not yet read are read from the worksheet the object holds locked;
// another object of the same process that emptied it meanwhile leaves them
// unreadable, which is reported instead of answering with other rows.
TEST_F(WorkbookSheet, RowsNotYetReadOfASheetEmptiedMeanwhileAreRefused) {
  std::string path = Copy("lo_empty_3sheets.xls");
  Fill(path, "S", {"A", "B"}, {{"1", "x"}, {"2", "y"}});
  CSpreadSheet sheet(path, "S", false);
  {
    CSpreadSheet other(path, "S", false);
    ASSERT_TRUE(other.DeleteSheet()) << other.m_strLastError;
  }
  EXPECT_EQ(RowAt(sheet, 1), (V{"A", "B"})) << "the header was read at construction";
  V row;
  EXPECT_FALSE(sheet.ReadRow(row, 2));
  EXPECT_EQ(sheet.m_strLastError, "Error reading row\n");
}
