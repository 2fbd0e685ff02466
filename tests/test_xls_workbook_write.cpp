// Changing and saving workbooks: what a save keeps (untouched sheets, other
// records and streams, byte for byte), what it rewrites (sheet positions, row
// indexes, the shared-string table), and the limits and errors of the API.
#include <gtest/gtest.h>

#include <map>

#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/BiffRecord.h"
#include "spreadsheet/xls/CompoundFile.h"
#include "spreadsheet/xls/SheetModel.h"
#include "spreadsheet/xls/Workbook.h"
#include "tests/XlsTestSupport.h"

using namespace xls;

namespace {

using Records = std::vector<std::vector<std::uint8_t>>;

// A saved file's global records up to the first EOF (without those a save
// rebuilds: BOUNDSHEET, the shared strings) and its sheet substreams by name.
struct StreamView {
  Records globals;
  std::map<std::u16string, std::vector<std::uint8_t>> sheets;
};

StreamView View(const std::vector<std::uint8_t>& file) {
  StreamView v;
  const auto s = StreamOf(file);
  for (std::size_t at = 0, len; at + 4 <= s.size(); at += 4 + len) {
    const std::uint16_t t = GetU16(&s[at]);
    len = GetU16(&s[at + 2]);
    if (t == rec::kBoundSheet) {
      std::size_t pos = 4 + 6, end = GetU32(&s[at + 4]);
      std::u16string name = ParseUnicodeString(std::span(s).subspan(at), pos, true, "BOUNDSHEET");
      for (int depth = 0; end + 4 <= s.size();) {
        const std::uint16_t e = GetU16(&s[end]);
        end += 4 + GetU16(&s[end + 2]);
        if (e == rec::kBof) ++depth;
        if (e == rec::kEof && --depth == 0) break;
      }
      v.sheets[name].assign(s.begin() + GetU32(&s[at + 4]), s.begin() + end);
    } else if (t != rec::kSst && t != rec::kExtSst && t != rec::kContinue) {
      v.globals.emplace_back(s.begin() + at, s.begin() + at + 4 + len);
    }
    if (t == rec::kEof) break;
  }
  return v;
}

const std::u16string kModelA = FromUtf8(u8"型号A");

}  // namespace

// Saving keeps what did not change byte for byte: every sheet and global
// record of an untouched workbook, and beside a changed sheet the other
// sheets and streams; an untouched sheet counts its rows as its built cells.
TEST(XlsWorkbookWrite, SavesKeepWhatDidNotChange) {
  for (const char* name : {"lo_two_sheets.xls", "xlwt_two_sheets.xls", "lo_sst_continue.xls", "lo_empty_3sheets.xls"}) {
    SCOPED_TRACE(name);
    const auto bytes = ReadFileBytes(XlsFixture(name));
    Workbook counted = Workbook::LoadFromMemory(bytes), built = Workbook::LoadFromMemory(bytes);
    for (std::size_t i = 0; i < counted.SheetCount(); ++i) {
      built.Sheet(i).Cell(0, 0);  // builds the cells
      EXPECT_EQ(std::pair(counted.Sheet(i).RowCount(), counted.Sheet(i).ColumnCount()),
                std::pair(built.Sheet(i).RowCount(), built.Sheet(i).ColumnCount()));
    }
    const auto saved = counted.SaveToMemory();
    EXPECT_EQ(View(saved).sheets, View(bytes).sheets);
    EXPECT_EQ(View(saved).globals, View(bytes).globals);
  }

  const auto original = ReadFileBytes(XlsFixture("lo_two_sheets.xls"));
  Workbook wb = Workbook::LoadFromMemory(original);
  wb.FindSheet(kModelA)->AppendRow(U16Row({u8"当前日期：2026/12/05  11:55:18", u8"SN0004", u8"合格", u8"3.14"}));
  const auto saved = wb.SaveToMemory();
  StreamView before = View(original), after = View(saved);
  EXPECT_EQ(after.sheets.at(u"Numbers"), before.sheets.at(u"Numbers"));
  EXPECT_EQ(after.globals, before.globals);
  CompoundFile cfBefore = CompoundFile::Parse(original), cfAfter = CompoundFile::Parse(saved);
  for (const auto& e : cfBefore.entries())
    if (e.type == CompoundFile::kStream && e.name != u"Workbook") {
      ASSERT_NE(cfAfter.FindStream(e.name), nullptr) << ToUtf8(e.name);
      EXPECT_EQ(*cfAfter.FindStream(e.name), e.data) << ToUtf8(e.name);
    }
  Workbook back = Workbook::LoadFromMemory(saved);
  const Worksheet& a = back.Sheet(0);
  EXPECT_EQ(a.RowTexts(4), U16Row({u8"当前日期：2026/12/05  11:55:18", u8"SN0004", u8"合格", u8"3.14"}));
  EXPECT_EQ(a.Cell(4, 3).kind, CellKind::Text) << "a text that looks like a number stays a text";
}

// One workbook saved again and again: a sheet rebuilt by one save is copied as
// written by the next ones and moves when the sheet before it grows (here by
// more than the room behind the held stream, which then is built anew), and
// it is rebuilt again once it changes again. Every save gives the whole book.
TEST(XlsWorkbookWrite, RepeatedSavesOfOneWorkbookKeepEveryChange) {
  Workbook wb = Workbook::Load(XlsFixture("lo_two_sheets.xls"));
  Worksheet& model = *wb.FindSheet(kModelA);
  Worksheet& numbers = *wb.FindSheet(u"Numbers");
  Table expectedModel = SheetTexts(model), expectedNumbers = SheetTexts(numbers);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    if (round == 0 || round == 3) {
      const std::u16string change = round ? u"second change" : u"first change";
      numbers.SetText(round / 3, 5, change);
      for (auto& row : expectedNumbers) row.resize(6);
      expectedNumbers[round / 3][5] = ToUtf8(change);
    }
    for (int r = 0; r < 40; ++r) {
      std::string unique = std::to_string(round) + "-" + std::to_string(r) + std::string(600, 'w');
      model.AppendRow({std::u16string(unique.begin(), unique.end()), u"SN"});
      expectedModel.push_back({unique, "SN", "", ""});
    }
    const auto saved = wb.SaveToMemory();
    EXPECT_FALSE(numbers.IsModified());
    Workbook back = Workbook::LoadFromMemory(saved);
    EXPECT_EQ(SheetTexts(*back.FindSheet(kModelA)), expectedModel);
    EXPECT_EQ(SheetTexts(*back.FindSheet(u"Numbers")), expectedNumbers);
    EXPECT_EQ(View(wb.SaveToMemory()).sheets, View(saved).sheets) << "a save without changes";
  }
}

TEST(XlsWorkbookWrite, NewStringsLeaveUntouchedSheetsReferencesValid) {
  Workbook wb = Workbook::Load(XlsFixture("lo_sst_continue.xls"));
  Table expected = SheetTexts(wb.Sheet(0));
  Worksheet& added = wb.AddSheet(u"More");
  for (int r = 0; r < 2000; ++r)
    added.AppendRow({u"new-" + std::u16string(static_cast<std::size_t>(r % 50), u'\x6C49'), u"x",
                     std::u16string(r == 7 ? 12000 : 1, u'\x00E9')});
  Workbook back = Workbook::LoadFromMemory(wb.SaveToMemory());
  EXPECT_EQ(SheetTexts(back.Sheet(0)), expected);
  EXPECT_EQ(SheetTexts(back.Sheet(1)), SheetTexts(added));
}

// (Clearing is read back by the peers in the read tests; here what goes with the cells.)
TEST(XlsWorkbookWrite, ClearTakesTheMergedRangesWithTheCells) {
  Workbook wb = Workbook::Load(XlsFixture("lo_two_sheets.xls"));
  wb.FindSheet(u"Numbers")->Clear();
  wb.FindSheet(u"Numbers")->AppendRow({u"only", u"row"});
  auto saved = wb.SaveToMemory();
  EXPECT_EQ(SheetTexts(Workbook::LoadFromMemory(saved).Sheet(1)), (Table{{"only", "row"}}));
  EXPECT_TRUE(RecordsOf(View(saved).sheets.at(u"Numbers"), rec::kMergeCells).empty());
}

// (A new workbook is written and read back by the peers in the read tests.)
TEST(XlsWorkbookWrite, LimitsAreErrorsThatChangeNothing) {
  Workbook wb = Workbook::CreateEmpty();
  Worksheet& s = wb.AddSheet(u"S");
  EXPECT_NO_THROW(s.SetText(65535, 255, u"last cell"));
  EXPECT_THROW(s.AppendRow({u"one too many"}), platform::Error);
  EXPECT_THROW(s.SetText(0, 0, std::u16string(32768, u'x')), platform::Error);
  s.ClearCell(65535, 255);
  EXPECT_THROW(s.AppendRow(std::vector<std::u16string>(257, u"v")), platform::Error);
  EXPECT_EQ(s.RowCount(), 0);
}

TEST(XlsWorkbookWrite, SheetNamesAreValidatedAndUnique) {
  Workbook wb = Workbook::Load(XlsFixture("lo_two_sheets.xls"));
  for (const std::u16string& bad :
       std::vector<std::u16string>{u"", u"a:b", u"a/b", u"a]", u"'quoted'", std::u16string(32, u'n'), u"tab\there",
                                   u"NUMBERS", FromUtf8(u8"型号a")})
    EXPECT_THROW(wb.AddSheet(bad), platform::Error) << ToUtf8(bad);
  EXPECT_NO_THROW(wb.AddSheet(FromUtf8(u8"中文 名称 (1)")));
  EXPECT_NO_THROW(wb.AddSheet(std::u16string(31, u'n')));
}

// A save writes exactly the file (a longer old one is truncated); one that
// fails part-way names the file and keeps the workbook in memory as it was,
// so the next save writes the new row once, beside everything else.
TEST(XlsWorkbookWrite, SaveWritesExactlyThePathAndAFailedSaveKeepsTheWorkbook) {
  ScratchFolder dir;
  Workbook wb = Workbook::Load(XlsFixture("lo_two_sheets.xls"));
  Worksheet& model = *wb.FindSheet(kModelA);
  Table expected = SheetTexts(model);
  model.AppendRow({u"after", u"the failure"});
  expected.push_back({"after", "the failure", "", ""});
  EXPECT_THROW(wb.Save("/dev/full"), platform::Error) << "a full disk must be reported";
  EXPECT_TRUE(model.IsModified());
  const std::string path = dir.File("out.tmp");
  WriteBytes(path, std::string(100000, 'z'));  // longer than the workbook
  wb.Save(path);
  EXPECT_EQ(ReadFileBytes(path), wb.SaveToMemory());
  Workbook back = Workbook::Load(path);
  EXPECT_EQ(SheetTexts(*back.FindSheet(kModelA)), expected);
  EXPECT_EQ(back.FindSheet(u"Numbers")->CellText(3, 3), u"13.5");
}

namespace {

// Every row of the sheet as ForEachRow hands them out, each as the texts of
// columns 0 .. ColumnCount()-1; fails when a row comes twice or out of order.
Table RowsInOnePass(const Worksheet& ws) {
  Table rows;
  ws.ForEachRow(0, ws.RowCount() - 1, [&](int row, const RowCells& cells) {
    EXPECT_EQ(row, static_cast<int>(rows.size()));
    rows.emplace_back();
    for (int c = 0; c < ws.ColumnCount(); ++c) rows.back().push_back(ToUtf8(cells.CellText(c)));
  });
  return rows;
}

bool Built(const Worksheet& ws) {
  return ws.impl().parsed;
}

// A workbook whose first sheet has 100 rows with a gap, Chinese texts and
// numbers, and a second sheet after it.
std::vector<std::uint8_t> HundredRows() {
  Workbook wb = Workbook::CreateEmpty();
  Worksheet& s = wb.AddSheet(u"Model");
  s.AppendRow(U16Row({u8"时间", u8"SN", u8"结果"}));
  for (int r = 1; r < 100; ++r) {
    if (r == 50) continue;  // an empty row
    s.SetText(r, 0, u"\x65F6" + std::u16string(1, char16_t(u'0' + r % 10)));
    s.SetText(r, 1, u"SN" + std::u16string(1, char16_t(u'a' + r % 26)));
    s.SetNumber(r, 2, r * 0.5);
  }
  wb.AddSheet(u"After").AppendRow({u"kept"});
  return wb.SaveToMemory();
}

}  // namespace

// A sheet read in one pass gives what its built cells give, also when its
// cells are not stored row by row (then it is built first), and the pass
// leaves the sheet unbuilt.
TEST(XlsWorkbookWrite, ReadingEveryRowInOnePassGivesTheBuiltSheet) {
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
  for (const char* name : {"lo_two_sheets.xls", "xlwt_two_sheets.xls", "lo_sst_continue.xls"})
    files.emplace_back(name, ReadFileBytes(XlsFixture(name)));
  files.emplace_back("hundred rows", HundredRows());
  // Two cells of different rows swapped: a later row's cell comes first.
  CompoundFile cf = CompoundFile::Parse(HundredRows());
  auto s = *cf.FindStream(u"Workbook");
  auto labels = RecordsOf(s, rec::kLabelSst, SheetStart(s));
  std::swap_ranges(s.begin() + labels.at(3), s.begin() + labels.at(3) + 14, s.begin() + labels.at(40));  // rows 1, 14
  cf.SetStream(u"Workbook", s);
  files.emplace_back("cells out of row order", cf.Serialize());
  for (const auto& [name, bytes] : files) {
    Workbook read = Workbook::LoadFromMemory(bytes), built = Workbook::LoadFromMemory(bytes);
    for (std::size_t i = 0; i < read.SheetCount(); ++i) {
      const bool inOrder = read.Sheet(i).impl().cellsInRowOrder;
      EXPECT_EQ(RowsInOnePass(read.Sheet(i)), SheetTexts(built.Sheet(i))) << name << " sheet " << i;
      EXPECT_EQ(Built(read.Sheet(i)), !inOrder) << name << " sheet " << i;
    }
  }
  EXPECT_FALSE(Workbook::LoadFromMemory(files.back().second).Sheet(0).impl().cellsInRowOrder);
}

// An export's work on a sheet: read its header, add rows below the stored
// ones, save, again and again; the stored cells are never built for it. Any
// other change builds them, with the new rows kept.
TEST(XlsWorkbookWrite, NewRowsGoBelowTheStoredOnesWithoutBuildingThem) {
  Workbook wb = Workbook::LoadFromMemory(HundredRows());
  Worksheet& s = wb.Sheet(0);
  Table expected = SheetTexts(Workbook::LoadFromMemory(HundredRows()).Sheet(0));
  for (int round = 0; round < 2; ++round) {
    for (int r = 0; r < 20; ++r) {
      s.AppendRow({u"new", std::u16string(1, char16_t(u'A' + r))});
      expected.push_back({"new", std::string(1, char('A' + r)), ""});
    }
    EXPECT_EQ(RowsInOnePass(s), expected);
    Workbook back = Workbook::LoadFromMemory(wb.SaveToMemory());
    EXPECT_FALSE(Built(s)) << "neither the appends nor the save build the sheet";
    EXPECT_EQ(SheetTexts(back.Sheet(0)), expected);
    EXPECT_EQ(back.Sheet(1).CellText(0, 0), u"kept");
  }
  // A change to a stored row builds the sheet; the new rows stay.
  s.AppendRow({u"pending"});
  expected.push_back({"pending", "", ""});
  s.SetText(3, 1, u"changed");
  expected[3][1] = "changed";
  EXPECT_TRUE(Built(s));
  EXPECT_EQ(SheetTexts(s), expected);
  EXPECT_EQ(SheetTexts(Workbook::LoadFromMemory(wb.SaveToMemory()).Sheet(0)), expected);
}
