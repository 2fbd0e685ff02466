// CSpreadSheet over delimited text files, which the PCB export never writes:
// which files are workbooks, and the format a delimited file is read and written in.
#include <gtest/gtest.h>

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
