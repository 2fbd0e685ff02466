// Which files CSpreadSheet treats as workbooks (delimited text files, its other
// kind, are never written by the PCB export).
#include <gtest/gtest.h>

#include "spreadsheet/SpreadSheet.h"
#include "tests/ScratchFolder.h"

TEST(DelimitedSheet, KindFollowsTheLastFourCharacters) {
  ScratchFolder dir;
  for (std::string path :
       {dir.File("a.XLSX"), dir.File("a.txt"), std::string("ab")})  // "ab": shorter than an extension
    EXPECT_FALSE(CSpreadSheet(path, ",", false).IsWorkbook()) << path;
}
