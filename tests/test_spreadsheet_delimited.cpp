// CSpreadSheet over delimited text files: the file format and its failures (the
// row rules are shared with workbooks and checked there and through the export).
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
