// CSpreadSheet over delimited text files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "spreadsheet/SpreadSheet.h"
#include "tests/ScratchFolder.h"
#include "tests/SpreadSheetReading.h"

using V = std::vector<std::string>;

namespace {

class DelimitedSheet : public ::testing::Test {
 protected:
  std::string Csv(const std::string& content, const std::string& name = "data.csv") {
    std::string path = dir.File(name);
    WriteBytes(path, content);
    return path;
  }
  ScratchFolder dir;
};

}  // namespace

TEST_F(DelimitedSheet, KindFollowsTheLastFourCharacters) {
  for (std::string path :
       {dir.File("a.XLSX"), dir.File("a.txt"), std::string("ab")})  // "ab": shorter than an extension
    EXPECT_FALSE(CSpreadSheet(path, ",", false).IsWorkbook()) << path;
}

// Loaded lines are held as they were read; rows the object builds are quoted;
// a commit ends every row text with CR LF.
TEST_F(DelimitedSheet, LoadsLinesAndTheWidestRowSetsTheColumns) {
  std::string path = Csv("\"h1\",\"h2\"\r\na,b,c,d\n\"x\"\n\"p\",\"q\",\"r\"");
  CSpreadSheet sheet(path, ",", false);
  EXPECT_EQ(sheet.GetTotalRows(), 4);
  EXPECT_EQ(sheet.GetTotalColumns(), 4);
  EXPECT_EQ(Names(sheet), (V{"h1", "h2"}));
  EXPECT_EQ(RowAt(sheet, 2), (V{"a", "b", "c", "d"}));
  ASSERT_TRUE(sheet.AddRow({"e", "f", "g", "h"}));
  EXPECT_EQ(ReadBytes(path), "\"h1\",\"h2\"\r\na,b,c,d\r\n\"x\"\r\n\"p\",\"q\",\"r\"\r\n\"e\",\"f\",\"g\",\"h\"\r\n");
}

TEST_F(DelimitedSheet, MissingFileStartsEmptyAndTheFirstCommitCreatesIt) {
  std::string path = dir.File("new.csv");
  CSpreadSheet sheet(path, ",", true);  // no backup of nothing
  EXPECT_EQ(sheet.m_strLastError, "Error in opening file\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".bak"));
  ASSERT_TRUE(sheet.AddHeaders({"Time", "SN"}));
  ASSERT_TRUE(sheet.AddRow({"t1", "s1"}));
  EXPECT_EQ(ReadBytes(path), "\"Time\",\"SN\"\r\n\"t1\",\"s1\"\r\n");
}

TEST_F(DelimitedSheet, BackupIsACopyOfTheLoadedRows) {
  std::string path = Csv("\"h\"\r\n\"1\"\r\n");
  {
    CSpreadSheet sheet(path, ",", true);
    EXPECT_TRUE(sheet.IsBackupKept());
    ASSERT_TRUE(sheet.AddRow({"2"}));
  }
  EXPECT_EQ(ReadBytes(path + ".bak"), "\"h\"\r\n\"1\"\r\n");
  EXPECT_EQ(ReadBytes(path), "\"h\"\r\n\"1\"\r\n\"2\"\r\n");
}

TEST_F(DelimitedSheet, AddRowPlacesAppendsInsertsReplacesAndFills) {
  std::string path = Csv("\"h1\",\"h2\"\r\n\"a\",\"1\"\r\n\"b\",\"2\"\r\n");
  CSpreadSheet sheet(path, ",", false);
  sheet.BeginTransaction();
  V row;
  ASSERT_TRUE(sheet.ReadRow(row, 2));  // current row is now 3
  ASSERT_TRUE(sheet.AddRow({"c", "3"}, 0));
  EXPECT_EQ(sheet.GetCurrentRow(), 3);
  ASSERT_TRUE(sheet.AddRow({"ins", "x"}, 2, false));
  ASSERT_TRUE(sheet.AddRow({"rep", "y"}, 2, true));
  // Beyond the end: blank rows fill the gap (as wide as the new row); the row becomes the current one.
  ASSERT_TRUE(sheet.AddRow({"far", "z", "extra"}, 8));
  EXPECT_EQ(sheet.GetCurrentRow(), 8);
  // Nothing was written inside the transaction.
  EXPECT_EQ(ReadBytes(path), "\"h1\",\"h2\"\r\n\"a\",\"1\"\r\n\"b\",\"2\"\r\n");
  ASSERT_TRUE(sheet.Commit());
  EXPECT_EQ(ReadBytes(path),
            "\"h1\",\"h2\"\r\n\"rep\",\"y\"\r\n\"a\",\"1\"\r\n\"b\",\"2\"\r\n\"c\",\"3\"\r\n"
            "\"\",\"\",\"\"\r\n\"\",\"\",\"\"\r\n\"far\",\"z\",\"extra\"\r\n");
}

TEST_F(DelimitedSheet, RollBackOrDroppingATransactionLeavesTheStoredRows) {
  std::string path = Csv("\"h\"\r\n\"1\"\r\n");
  {
    CSpreadSheet dropped(path, ",", false);
    dropped.BeginTransaction();
    ASSERT_TRUE(dropped.AddRow({"lost"}));
  }
  EXPECT_EQ(ReadBytes(path), "\"h\"\r\n\"1\"\r\n");
  CSpreadSheet sheet(path, ",", false);
  sheet.BeginTransaction();
  ASSERT_TRUE(sheet.AddRow({"2"}));
  ASSERT_TRUE(sheet.RollBack());
  EXPECT_EQ(sheet.GetTotalRows(), 2);
  // After the roll back changes commit at once again.
  ASSERT_TRUE(sheet.AddRow({"3"}));
  EXPECT_EQ(ReadBytes(path), "\"h\"\r\n\"1\"\r\n\"3\"\r\n");
}

TEST_F(DelimitedSheet, HeadersReplaceOrExtend) {
  std::string path = Csv("\"a\",\"b\"\r\n\"1\",\"2\"\r\n");
  CSpreadSheet sheet(path, ",", false);
  ASSERT_TRUE(sheet.AddHeaders({"c"}, false));
  EXPECT_EQ(Names(sheet), (V{"a", "b", "c"}));
  // A delimited file accepts a repeated name.
  ASSERT_TRUE(sheet.AddHeaders({"a"}, false));
  ASSERT_TRUE(sheet.AddHeaders({"x", "y"}, true));
  EXPECT_EQ(ReadBytes(path), "\"x\",\"y\"\r\n\"1\",\"2\"\r\n");
}

TEST_F(DelimitedSheet, CellsByNumberLetterAndName) {
  std::string path = Csv("\"Name\",\"Value\"\r\n\"a\",\"1\"\r\n");
  CSpreadSheet sheet(path, ",", false);
  sheet.BeginTransaction();
  EXPECT_FALSE(sheet.AddCell("2", "value", 2, false));  // names are exact when not automatic
  EXPECT_EQ(sheet.m_strLastError, "Invalid field name or column alphabet\n");
  ASSERT_TRUE(sheet.AddCell("2", "Value", 2, false));
  ASSERT_TRUE(sheet.AddCell("new", "d", 2, true));  // letter D = column 4, widens the row
  EXPECT_EQ(RowAt(sheet, 2), (V{"a", "2", "", "new"}));
  EXPECT_EQ(sheet.GetTotalColumns(), 4);
  // A new row holds the value in its column and blanks elsewhere.
  ASSERT_TRUE(sheet.AddCell("z", 2, 0));
  EXPECT_EQ(RowAt(sheet, 3), (V{"", "z", "", ""}));
  EXPECT_FALSE(sheet.AddCell("v", int16_t{0}, 1));
  EXPECT_EQ(sheet.m_strLastError, "Column cannot be zero\n");
  EXPECT_FALSE(sheet.AddRow({"v"}, -1));
}

TEST_F(DelimitedSheet, ReadsWalkRowsColumnsAndCells) {
  std::string path = Csv("\"A\",\"B\",\"C\"\r\n\"1\",\"2\",\"3\"\r\n\"only\"\r\n");
  CSpreadSheet sheet(path, ",", false);
  V row;
  EXPECT_FALSE(sheet.ReadRow(row, 4));
  EXPECT_EQ(sheet.m_strLastError, "Desired row is greater than total number of rows in spreadsheet\n");

  V column;
  ASSERT_TRUE(sheet.ReadColumn(column, 2));
  EXPECT_EQ(column, (V{"B", "2", ""}));
  ASSERT_TRUE(sheet.ReadColumn(column, "c", true));
  EXPECT_EQ(column, (V{"C", "3", ""}));

  std::string cell;
  ASSERT_TRUE(sheet.ReadCell(cell, 3, 2));
  EXPECT_EQ(cell, "3");
  EXPECT_FALSE(sheet.ReadCell(cell, 1, 9));
  EXPECT_EQ(sheet.m_strLastError, "Error reading row\n");
}

TEST_F(DelimitedSheet, ColumnLettersAndNames) {
  std::string path = Csv("\"AB\",\"Long\",\"LONGER\"\r\n");
  CSpreadSheet sheet(path, ",", false);
  // Automatic: one or two letters are column letters, never names.
  sheet.AddCell("x", "ab", 2, true);
  EXPECT_EQ(sheet.GetTotalColumns(), 28);
  V column;
  ASSERT_TRUE(sheet.ReadColumn(column, "AB", false));  // looked up as a name
  EXPECT_EQ(column.front(), "AB");
  ASSERT_TRUE(sheet.ReadColumn(column, "longer", true));
  EXPECT_EQ(column.front(), "LONGER");
  EXPECT_FALSE(sheet.ReadColumn(column, "long", true));  // upper-cased, so not found
  EXPECT_EQ(sheet.m_strLastError, "Invalid field name or column alphabet\n");
  // Short texts that are not letters are names, not column arithmetic.
  EXPECT_FALSE(sheet.ReadColumn(column, "1", true));
}

TEST_F(DelimitedSheet, DeleteSheetEmptiesTheFile) {
  std::string path = Csv("\"a\"\r\n\"1\"\r\n");
  CSpreadSheet sheet(path, ",", false);
  ASSERT_TRUE(sheet.DeleteSheet("ignored"));
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_EQ(sheet.GetTotalRows(), 0);
  EXPECT_FALSE(sheet.ReplaceRows({"1"}, {"2"}));
  EXPECT_EQ(sheet.m_strLastError, "Function not available for text delimited file\n");
}

TEST_F(DelimitedSheet, UnwritableFileReportsAndKeepsRowsInMemory) {
  std::string path = dir.File("sub");
  std::filesystem::create_directory(path);  // a folder where the file should be
  CSpreadSheet sheet(path, ",", false);
  EXPECT_EQ(sheet.m_strLastError, "Error in opening file\n");
  EXPECT_TRUE(sheet.AddRow({"1"}));  // the change stands in memory
  EXPECT_EQ(sheet.m_strLastError, "Error writing file\n");
  EXPECT_FALSE(sheet.Commit());
  EXPECT_EQ(sheet.GetTotalRows(), 1);
}

TEST_F(DelimitedSheet, CommitReplacesTheFileWholeAndKeepsItsPermissions) {
  std::string path = Csv("\"a\"\r\n");
  ::chmod(path.c_str(), 0640);
  CSpreadSheet sheet(path, ",", false);
  ASSERT_TRUE(sheet.AddRow({"b"}));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(dir.Entries(), V{"data.csv"}) << "no temporary file left behind";
}
