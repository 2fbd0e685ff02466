// Reading real workbooks written by LibreOffice and by xlwt, checked against the
// fixtures' documented content and against python3-xlrd; refusing files that
// are not readable BIFF8 workbooks with a clear error; and files this engine
// wrote, read back by independent readers: python3-xlrd (typed cell values) and
// LibreOffice Calc (the texts it shows, sheet by sheet), compared with what the
// engine itself reads and with the values that were written.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <functional>

#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/BiffRecord.h"
#include "spreadsheet/xls/CompoundFile.h"
#include "spreadsheet/xls/Workbook.h"
#include "tests/XlsPeerDump.h"
#include "tests/XlsTestSupport.h"

using namespace xls;

namespace {

// A number as the peers' cells are compared: the shortest text that reads back as it.
std::string NumberKey(double v) {
  char buf[40];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// A cell as the xlrd script prints it (T text, N number, B boolean, E error code).
std::string Typed(const CellValue& v) {
  switch (v.kind) {
    case CellKind::Text:
      return "T" + ToUtf8(v.text);
    case CellKind::Number:
      return "N" + NumberKey(v.number);
    case CellKind::Boolean:
      return v.boolean ? "B1" : "B0";
    case CellKind::Error:
      return "E" + std::to_string(v.errorCode);
    default:
      return "";
  }
}

// Empties the cells of `t` where `skip` holds for the engine's cell.
void Blank(Table& t, const Worksheet& ws, const std::function<bool(const CellValue&)>& skip) {
  for (std::size_t r = 0; r < t.size() && r < std::size_t(ws.RowCount()); ++r)
    for (std::size_t c = 0; c < t[r].size() && c < std::size_t(ws.ColumnCount()); ++c)
      if (skip(ws.Cell(int(r), int(c)))) t[r][c].clear();
}

// A formula whose writer stored no result: readers that recalculate differ.
bool Uncached(const CellValue& v) {
  return v.isFormula && v.kind == CellKind::Empty;
}

// A peer sees the texts the engine reads (xlrd: the typed cells), except formulas
// without a stored result and those of a sheet LibreOffice recalculates.
void ExpectPeerSees(const PeerBook& peer, const Workbook& wb, bool typed, const std::u16string& recalculated = u"") {
  ASSERT_EQ(peer.refusal, "") << "the peer refused the file";
  ASSERT_EQ(peer.Names().size(), wb.SheetCount());
  for (std::size_t s = 0; s < wb.SheetCount(); ++s) {
    const Worksheet& ws = wb.Sheet(s);
    auto skip = [&](const CellValue& v) { return Uncached(v) || (v.isFormula && ws.Name() == recalculated); };
    Table ours = SheetTexts(ws), theirs = peer.sheets[s].rows;
    for (int r = 0; typed && r < ws.RowCount(); ++r)
      for (int c = 0; c < ws.ColumnCount(); ++c) ours[r][c] = Typed(ws.Cell(r, c));
    for (auto& row : theirs)
      for (auto& cell : row)
        if (typed && cell.starts_with("N")) cell = "N" + NumberKey(std::strtod(cell.c_str() + 1, nullptr));
    Blank(ours, ws, skip);
    Blank(theirs, ws, skip);
    EXPECT_EQ(peer.sheets[s].name, ToUtf8(ws.Name()));
    EXPECT_EQ(Trimmed(theirs), Trimmed(ours)) << "sheet " << s;
  }
}

void ExpectXlrdSees(const Workbook& wb, const std::string& path) {
  ExpectPeerSees(XlrdRead(path), wb, true);
}

// Saves `wb` to `path`, reads it back and checks that both readers see what the engine reads.
Workbook SaveAndCompare(Workbook& wb, const std::string& path, const std::u16string& recalculatedSheet = u"") {
  wb.Save(path);
  Workbook back = Workbook::Load(path);
  ExpectXlrdSees(back, path);
  ExpectPeerSees(LibreOfficeRead(path), back, false, recalculatedSheet);
  return back;
}

std::string LoadError(std::span<const std::uint8_t> bytes) {
  try {
    Workbook::LoadFromMemory(bytes);
  } catch (const platform::Error& e) {
    return e.what();
  }
  return "";
}

// The fixture with its Workbook stream replaced by `stream`.
std::vector<std::uint8_t> WithWorkbookStream(const std::string& fixture, std::vector<std::uint8_t> stream,
                                             std::u16string_view name = u"Workbook") {
  CompoundFile cf =
      name == u"Workbook" ? CompoundFile::Parse(ReadFileBytes(XlsFixture(fixture))) : CompoundFile::CreateEmpty({});
  cf.SetStream(name, std::move(stream));
  return cf.Serialize();
}


}  // namespace

// Fixtures LibreOffice and xlwt (which stores no formula results) wrote.
TEST(XlsWorkbookRead, SpreadsheetApplicationFixturesReadAsXlrdReadsThem) {
  for (const char* name : {"lo_two_sheets.xls", "xlwt_two_sheets.xls"}) {
    SCOPED_TRACE(name);
    Workbook wb = Workbook::Load(XlsFixture(name));
    ExpectXlrdSees(wb, XlsFixture(name));
    EXPECT_EQ(wb.Sheet(0).Name(), FromUtf8(u8"型号A"));
    EXPECT_EQ(wb.Sheet(1).CellText(6, 1), u"2024-05-01");  // B7: a number shown as a date
    EXPECT_TRUE(wb.Sheet(1).Cell(6, 1).isDate);
    EXPECT_TRUE(wb.Sheet(1).Cell(3, 3).isFormula);
  }
}

// Long shared strings across CONTINUE records, as LibreOffice wrote them.
TEST(XlsWorkbookRead, LongSharedStringsAcrossContinueRecordsReadAsXlrdReadsThem) {
  const std::string path = XlsFixture("lo_sst_continue.xls");
  Workbook wb = Workbook::Load(path);
  ASSERT_EQ(wb.SheetCount(), 1u);
  const Worksheet& ws = wb.Sheet(0);
  EXPECT_EQ(ws.Name(), u"\x5171\x4EAB\x5B57\x7B26\x4E32");  // 共享字符串
  EXPECT_EQ(ws.RowCount(), 503);
  std::size_t longest = 0;
  for (int r = 0; r < ws.RowCount(); ++r)
    for (int c = 0; c < 3; ++c) longest = std::max(longest, ws.Cell(r, c).text.size());
  EXPECT_GE(longest, 9000u);

  ExpectXlrdSees(wb, path);
}

TEST(XlsWorkbookRead, EmptyWorkbooksSheetLookupAndCellLimits) {
  Workbook one = Workbook::Load(XlsFixture("lo_empty_1sheet.xls"));  // lives in the mini stream
  ASSERT_EQ(one.SheetNames(), std::vector<std::u16string>{u"Sheet1"});
  EXPECT_EQ(std::pair(one.Sheet(0).RowCount(), one.Sheet(0).ColumnCount()), std::pair(0, 0));
  Workbook three = Workbook::Load(XlsFixture("lo_empty_3sheets.xls"));  // no shared-string table
  EXPECT_EQ(three.SheetNames(), (std::vector<std::u16string>{u"Sheet1", u"Sheet2", u"Sheet3"}));
  Workbook wb = Workbook::Load(XlsFixture("lo_two_sheets.xls"));
  EXPECT_EQ(wb.FindSheet(u"NUMBERS"), &wb.Sheet(1));  // without regard to case
  EXPECT_EQ(wb.FindSheet(u"Number"), nullptr);
  EXPECT_NO_THROW(wb.Sheet(0).Cell(65535, 255));
  EXPECT_THROW(wb.Sheet(0).Cell(65536, 0), platform::Error);
  EXPECT_THROW(wb.Sheet(0).Cell(0, 256), platform::Error);
}

TEST(XlsWorkbookRead, FilesThatAreNotWorkbooksAreRefused) {
  ScratchFolder dir;
  EXPECT_THROW(Workbook::Load(dir.File("missing.xls")), platform::Error);
  std::vector<std::uint8_t> xlsx = {'P', 'K', 3, 4};
  xlsx.resize(3000, 0);
  CompoundFile doc = CompoundFile::CreateEmpty({});  // a Word document, say
  doc.SetStream(u"WordDocument", std::vector<std::uint8_t>(5000, 1));
  std::vector<std::uint8_t> biff5;  // Excel 5: a BIFF5 BOF
  AppendRecord(biff5, rec::kBof, std::vector<std::uint8_t>{0x00, 0x05, 0x05, 0x00, 0, 0, 0, 0});
  AppendRecord(biff5, rec::kEof, {});
  const std::pair<std::vector<std::uint8_t>, const char*> cases[] = {
      {xlsx, "not an OLE2 compound file"},
      {doc.Serialize(), "no 'Workbook' stream"},
      {WithWorkbookStream("lo_empty_1sheet.xls", biff5, u"Book"), "Excel 5"},
      {WithWorkbookStream("lo_empty_1sheet.xls", biff5), "Excel 5"},
  };
  for (const auto& [file, expected] : cases)
    EXPECT_NE(LoadError(file).find(expected), std::string::npos) << expected << ": " << LoadError(file);
}

TEST(XlsWorkbookRead, DamagedWorkbookStreamsNameTheProblem) {
  const std::vector<std::uint8_t> good = StreamOf(ReadFileBytes(XlsFixture("lo_two_sheets.xls")));
  const std::vector<std::size_t> bounds = RecordsOf(good, rec::kBoundSheet), labels = RecordsOf(good, rec::kLabelSst);
  ASSERT_TRUE(bounds.size() == 2 && !labels.empty());
  const std::size_t bound = bounds[0], bound2 = bounds[1], label = labels[0];
  std::vector<std::uint8_t> filepass;
  AppendRecord(filepass, rec::kFilePass, std::vector<std::uint8_t>(54, 0));
  const std::pair<std::function<void(std::vector<std::uint8_t>&)>, std::string> cases[] = {
      {[&](auto& s) { s.insert(s.begin() + 4 + GetU16(&s[2]), filepass.begin(), filepass.end()); }, "encrypted"},
      {[&](auto& s) { PutU32(&s[bound + 4], 0x00FFFFFF); }, "beyond the end"},
      {[&](auto& s) { PutU32(&s[bound2 + 4], GetU32(&s[bound + 4])); }, "overlaps"},  // two sheets, one substream
      {[&](auto& s) { PutU32(&s[label + 4 + 6], 999999); }, "shared-string"},         // no such shared string
  };
  for (const auto& [damage, expected] : cases) {
    std::vector<std::uint8_t> s = good;
    damage(s);
    std::string error = LoadError(WithWorkbookStream("lo_two_sheets.xls", s));
    EXPECT_NE(error.find(expected), std::string::npos) << expected << ": " << error;
  }
  // Cut short at every 97th byte: a clear error, never a crash or a partial workbook.
  for (std::size_t cut = 0; cut < good.size(); cut += 97) {
    std::vector<std::uint8_t> s(good.begin(), good.begin() + cut);
    EXPECT_FALSE(LoadError(WithWorkbookStream("lo_two_sheets.xls", s)).empty()) << "cut at " << cut;
  }
}

namespace {

// A one-sheet workbook holding cells of the record kinds other writers use
// beside those of the LibreOffice fixtures, inserted by hand before WINDOW2.
std::vector<std::uint8_t> EveryCellKindWorkbook() {
  using Bytes = std::vector<std::uint8_t>;
  Workbook wb = Workbook::CreateEmpty();
  wb.AddSheet(u"Kinds");
  CompoundFile cf = CompoundFile::Parse(wb.SaveToMemory());
  Bytes s = *cf.FindStream(u"Workbook"), cells, label, abc, text = {0, 0, 0, 0, 0, 0, 0xFF, 0xFF}, number;
  // A record of `type`: row, column, format 15, then `tail`.
  auto add = [&](std::uint16_t type, std::uint8_t r, std::uint8_t c, Bytes tail) {
    tail.insert(tail.begin(), {r, 0, c, 0, 15, 0});
    AppendRecord(cells, type, tail);
  };
  AppendUnicodeString(label, u"label \x4E2D", false);
  add(rec::kLabel, 0, 0, label);
  // RK numbers: 123 as an integer, 123 / 100, 0.5 as a double's top bits, -5.
  std::uint8_t column = 0;
  for (std::uint32_t v : {(123u << 2) | 2, (123u << 2) | 3, 0x3FE00000u, std::uint32_t(-5 * 4) | 2}) {
    Bytes rk;
    AppendU32(rk, v);
    add(rec::kRk, 1, column++, rk);
  }
  add(rec::kBoolErr, 2, 0, {1, 0});
  add(rec::kBoolErr, 2, 1, {0x07, 1});
  // Formula (=1) results: a text, in the STRING record after it, and a number.
  AppendF64(number, 42.5);
  for (Bytes* result : {&text, &number}) result->insert(result->end(), {0, 0, 0, 0, 0, 0, 3, 0, 0x1E, 0x01, 0x00});
  add(rec::kFormula, 3, 0, text);
  AppendUnicodeString(abc, u"abc", false);
  AppendRecord(cells, rec::kString, abc);
  add(rec::kFormula, 3, 1, number);
  s.insert(s.begin() + RecordsOf(s, rec::kWindow2).at(0), cells.begin(), cells.end());
  cf.SetStream(u"Workbook", s);
  return cf.Serialize();
}

}  // namespace

TEST(XlsWorkbookRead, EveryCellRecordKindReadsAsXlrdReadsIt) {
  ScratchFolder dir;
  const std::string path = dir.File("kinds.xls");
  const auto bytes = EveryCellKindWorkbook();
  WriteBytes(path, std::string(bytes.begin(), bytes.end()));
  Table expected = {{ToUtf8(u"label \x4E2D")}, {"123", "1.23", "0.5", "-5"}, {"TRUE", "#DIV/0!"}, {"abc", "42.5"}};
  Workbook wb = Workbook::Load(path);
  EXPECT_EQ(Trimmed(SheetTexts(wb.Sheet(0))), expected);
  EXPECT_TRUE(wb.Sheet(0).Cell(3, 0).isFormula);
  ExpectXlrdSees(wb, path);  // the kinds too: #DIV/0! is an error

  // Rewritten, the formulas keep their results and the sheet asks for recalculation.
  wb.Sheet(0).SetText(5, 0, u"changed");
  const auto saved = wb.SaveToMemory();
  EXPECT_FALSE(RecordsOf(StreamOf(saved), 0x005E).empty());  // UNCALCED
  expected.insert(expected.end(), {{}, {"changed"}});
  EXPECT_EQ(Trimmed(SheetTexts(Workbook::LoadFromMemory(saved).Sheet(0))), expected);
}

// ---- files this engine wrote, read by the peers ----------------------------

TEST(XlsPeers, ChangedLibreOfficeWorkbookReadsTheSameEverywhere) {
  ScratchFolder dir;
  Workbook wb = Workbook::Load(XlsFixture("lo_two_sheets.xls"));
  wb.FindSheet(FromUtf8(u8"型号A"))
      ->AppendRow(U16Row({u8"当前日期：2026/12/05  11:55:18", u8"SN0004", u8"合格", u8"x,\"y\" 'z'"}));
  wb.FindSheet(u"Numbers")->SetText(1, 3, u"replaced");  // anchor of a shared formula
  Worksheet& added = wb.AddSheet(FromUtf8(u8"新型号"));
  added.AppendRow(U16Row({u8"时间", u8"SN", u8"电压"}));
  added.AppendRow(U16Row({u8"2026", u8"SN-1", u8"12.0"}));
  added.SetNumber(2, 2, 3.25);
  added.SetNumber(3, 2, -1234567.5);
  Workbook back = SaveAndCompare(wb, dir.File("changed.xls"), u"Numbers");
  EXPECT_EQ(back.Sheet(0).RowCount(), 5);
  EXPECT_EQ(back.Sheet(1).Cell(2, 3).number, 9);
}

TEST(XlsPeers, LargeWorkbookWithDifatSectorsReadsInXlrd) {
  ScratchFolder dir;
  Workbook big = Workbook::CreateEmpty();
  Worksheet& s = big.AddSheet(u"Big");
  Table expected(20000);
  for (int r = 0; r < 20000; ++r) {
    std::vector<std::u16string> row;
    for (int c = 0; c < 20; ++c) {
      expected[r].push_back("r" + std::to_string(r) + "c" + std::to_string(c) + "-value");
      row.emplace_back(expected[r].back().begin(), expected[r].back().end());
    }
    s.AppendRow(row);
  }
  big.Save(dir.File("big.xls"));
  EXPECT_GT(GetU32(&ReadFileBytes(dir.File("big.xls"))[0x48]), 0u) << "DIFAT sectors used";
  EXPECT_EQ(XlrdRead(dir.File("big.xls")).Texts("Big"), expected);
}

namespace {

std::vector<std::u16string> NumberedRow(const std::u16string& prefix, int r, int columns) {
  std::vector<std::u16string> row;
  for (int c = 0; c < columns; ++c) {
    std::string t = std::to_string(r) + "-" + std::to_string(c);
    row.push_back(prefix + std::u16string(t.begin(), t.end()));
  }
  return row;
}

// A saved workbook of one sheet holding `rows` rows (of `columns` texts) and a
// small sheet after it.
std::vector<std::uint8_t> Saved(int rows, int columns, const std::u16string& prefix) {
  Workbook wb = Workbook::CreateEmpty();
  Worksheet& s = wb.AddSheet(u"Model");
  s.AppendRow(U16Row({u8"时间", u8"SN", u8"结果"}));
  for (int r = 1; r < rows; ++r) s.AppendRow(NumberedRow(prefix, r, columns));
  wb.AddSheet(u"After").AppendRow({u"kept"});
  return wb.SaveToMemory();
}

// A saved workbook's shape: its stream in the mini stream, its shared strings continued.
std::pair<bool, bool> ShapeOf(const std::vector<std::uint8_t>& file) {
  const auto s = StreamOf(file);
  return {s.size() < 4096, !RecordsOf(s, rec::kContinue).empty()};
}

}  // namespace

// Rows appended to a loaded sheet are written after its old records, which
// stay as they were; the readers must see the old rows and the new ones in
// every shape of file that append meets.
TEST(XlsPeers, RowsAppendedWithoutRebuildingTheSheetReadTheSameEverywhere) {
  std::vector<std::vector<std::u16string>> grown;
  for (int r = 0; r < 120; ++r) grown.push_back(NumberedRow(u"grown-", r, 3));
  const struct {
    const char* what;
    std::vector<std::uint8_t> file;
    std::vector<std::vector<std::u16string>> appended;
    std::pair<bool, bool> after;  // the shape after the save
  } cases[] = {
      {"workbook stream inside the mini stream", Saved(4, 3, u"m"), {{u"\x65B0", u"SN9", u"PASS"}}, {true, false}},
      {"workbook stream leaving the mini stream", Saved(4, 3, u"m"), grown, {false, false}},
      // Unique strings filling most of one SST record; the new ones (a long
      // Chinese text among them) go on in CONTINUE records.
      {"shared strings growing across a CONTINUE boundary",
       Saved(100, 3, u"unique-string-"),
       {{std::u16string(1500, u'\x6C49'), u"SN-new", std::u16string(3000, u'x')},
        {u"\x65B0\x503C", std::u16string(2500, u'\x00E9'), u"last"}},
       {false, true}},
  };
  ScratchFolder dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Workbook wb = Workbook::LoadFromMemory(c.file);
    Table expected = SheetTexts(wb.Sheet(0));
    for (const auto& row : c.appended) {
      wb.Sheet(0).AppendRow(row);
      expected.emplace_back();
      for (const auto& t : row) expected.back().push_back(ToUtf8(t));
    }
    const std::string path = dir.File("appended.xls");
    Workbook back = SaveAndCompare(wb, path);
    EXPECT_EQ(SheetTexts(back.Sheet(0)), expected);
    EXPECT_EQ(SheetTexts(back.Sheet(1)), (Table{{"kept"}}));
    const auto s = StreamOf(ReadFileBytes(path));
    EXPECT_EQ(ShapeOf(ReadFileBytes(path)), c.after);
    EXPECT_EQ(GetU32(&s[RecordsOf(s, rec::kDimensions, SheetStart(s)).at(0) + 8]), expected.size()) << "DIMENSIONS";
  }
}
