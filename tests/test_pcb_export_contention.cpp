// Two stations exporting back to back into the same sheet of a large PCB.xls,
// through the real export path in two processes: each releases the workbook
// after every export and asks for it again at once, so the lock must hand it
// over in turn; no export may give up waiting and no row may be lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "platform/ExeDirectory.h"
#include "results/PcbWorkbookExport.h"
#include "spreadsheet/xls/Workbook.h"
#include "tests/ScratchFolder.h"

namespace {

constexpr int kStoredRows = 20000;
constexpr int kExportsPerStation = 120;
constexpr int kItems = 18;  // with the time and the serial number: 20 columns

std::u16string ItemName(int i) {
  return u"Item" + std::u16string(1, u'A' + i);
}

std::vector<results::PcbWorkbookItem> UnitItems(int unit) {
  std::vector<results::PcbWorkbookItem> items;
  for (int i = 0; i < kItems; ++i)
    items.push_back({"Item" + std::string(1, 'A' + i), i % 3 ? std::to_string(unit * 100 + i) + ".5" : "PASS"});
  return items;
}

std::string Serial(int station, int unit) {
  return "ST" + std::to_string(station) + "-" + std::to_string(unit);
}

}  // namespace

TEST(PcbExportContention, TwoStationsExportingBackToBackIntoOneLargeSheetLoseNoRow) {
  ScratchFolder dir;
  platform::ScopedExeDirectoryOverride exeDir(dir.Path());
  {
    xls::Workbook book = xls::Workbook::Load(FixturePath("xls/lo_empty_3sheets.xls"));
    xls::Worksheet& sheet = book.AddSheet(u"M");
    std::vector<std::u16string> header{u"\x65F6\x95F4", u"SN"};  // 时间
    for (int i = 0; i < kItems; ++i) header.push_back(ItemName(i));
    sheet.AppendRow(header);
    for (int r = 0; r < kStoredRows; ++r) {
      std::vector<std::u16string> row{u"2026/12/01  08:00:00", u"OLD" + std::u16string(1, u'0' + r % 10)};
      for (int i = 0; i < kItems; ++i) row.push_back(i % 3 ? u"12." + std::u16string(1, u'0' + (r + i) % 10) : u"PASS");
      sheet.AppendRow(row);
    }
    book.Save(dir.File("PCB.xls"));
  }
  ResultStructrue record;
  record.strModel = "M";
  std::string error;
  // The first export into the stored sheet makes its backup sheet; the
  // stations then only append.
  ASSERT_EQ(results::ExportToPcbWorkbook(record, "FIRST", UnitItems(0), &error), 1) << error;

  const bool everyExportWritten = InChildrenAtOnce(2, [&](int station) {
    int failed = 0;
    for (int unit = 0; unit < kExportsPerStation; ++unit) {
      std::string why;
      if (results::ExportToPcbWorkbook(record, Serial(station, unit), UnitItems(unit), &why) != 1) {
        std::fprintf(stderr, "station %d, export %d failed: %s\n", station, unit, why.c_str());
        ++failed;
      }
    }
    return failed == 0 ? 0 : 1;
  });
  EXPECT_TRUE(everyExportWritten) << "an export returned FALSE while the other station kept releasing the workbook";

  const xls::Workbook after = xls::Workbook::Load(dir.File("PCB.xls"));
  const xls::Worksheet* sheet = after.FindSheet(u"M");
  ASSERT_NE(sheet, nullptr);
  ASSERT_EQ(sheet->RowCount(), 1 + kStoredRows + 1 + 2 * kExportsPerStation);
  std::set<std::u16string> serials;
  for (int r = 1 + kStoredRows + 1; r < sheet->RowCount(); ++r)
    serials.insert(sheet->CellText(r, 1));
  for (int station = 0; station < 2; ++station)
    for (int unit = 0; unit < kExportsPerStation; ++unit) {
      const std::string s = Serial(station, unit);
      EXPECT_EQ(serials.count(std::u16string(s.begin(), s.end())), 1u) << s;
    }
}
