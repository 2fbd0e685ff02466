// Reading real workbooks written by LibreOffice and by xlwt, checked against the
// fixtures' documented content and against python3-xlrd; refusing files that
// are not readable BIFF8 workbooks with a clear error; and files this engine
// wrote, read back by independent readers: python3-xlrd (typed cell values) and
// LibreOffice Calc (the texts it shows, sheet by sheet), compared with what the
// engine itself reads and with the values that were written.
#include <gtest/gtest.h>

#include <QFile>
#include <cstdlib>
#include <functional>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/BiffRecord.h"
#include "spreadsheet/xls/CompoundFile.h"
#include "spreadsheet/xls/Workbook.h"
#include "tests/XlsPeerDump.h"
#include "tests/XlsTestSupport.h"

using namespace xls;

namespace {

// A formula whose writer stored no result: readers that recalculate differ.
bool Uncached(const CellValue& v) {
  return v.isFormula && v.kind == CellKind::Empty;
}

void ExpectXlrdSees(const Workbook& wb, const std::string& path) {
  PeerBook peer = XlrdRead(path);
  ASSERT_TRUE(peer.refusal.empty()) << "xlrd refused the file: " << peer.refusal;
  ASSERT_EQ(peer.sheets.size(), wb.SheetCount());
  for (std::size_t s = 0; s < wb.SheetCount(); ++s) {
    const Worksheet& ws = wb.Sheet(s);
    const PeerSheet& ps = peer.sheets[s];
    ASSERT_EQ(ps.name, ToUtf8(ws.Name()));
    int rows = std::max<int>(ws.RowCount(), static_cast<int>(ps.rows.size()));
    for (int r = 0; r < rows; ++r) {
      int cols = std::max<int>(ws.ColumnCount(),
                               r < static_cast<int>(ps.rows.size()) ? static_cast<int>(ps.rows[r].size()) : 0);
      for (int c = 0; c < cols; ++c) {
        std::string theirs =
            r < static_cast<int>(ps.rows.size()) && c < static_cast<int>(ps.rows[r].size()) ? ps.rows[r][c] : "";
        CellValue v = ws.Cell(r, c);
        std::string where = ps.name + " row " + std::to_string(r + 1) + " column " + std::to_string(c + 1);
        if (Uncached(v)) continue;
        switch (v.kind) {
          case CellKind::Empty:
            ASSERT_EQ(theirs, "") << where;
            break;
          case CellKind::Text:
            ASSERT_EQ(theirs, "T" + ToUtf8(v.text)) << where;
            break;
          case CellKind::Number:
            ASSERT_EQ(theirs.substr(0, 1), "N") << where;
            ASSERT_EQ(std::strtod(theirs.c_str() + 1, nullptr), v.number) << where;
            break;
          case CellKind::Boolean:
            ASSERT_EQ(theirs, v.boolean ? "B1" : "B0") << where;
            break;
          case CellKind::Error:
            ASSERT_EQ(theirs, "E" + std::to_string(v.errorCode)) << where;
            break;
        }
      }
    }
  }
}

// LibreOffice recalculates the formulas of sheets whose cells changed; their
// cached results are what the other readers show.
void ExpectLibreOfficeShows(const Workbook& wb, const std::string& path,
                            const std::u16string& recalculatedSheet = u"") {
  PeerBook peer = LibreOfficeRead(path);
  ASSERT_TRUE(peer.refusal.empty()) << "LibreOffice could not convert the file: " << peer.refusal;
  ASSERT_EQ(peer.sheets.size(), wb.SheetCount());
  for (std::size_t s = 0; s < wb.SheetCount(); ++s) {
    const Worksheet& ws = wb.Sheet(s);
    const PeerSheet& ps = peer.sheets[s];
    ASSERT_EQ(ps.name, ToUtf8(ws.Name()));
    auto ours = SheetTexts(ws);
    auto theirs = ps.rows;
    for (int r = 0; r < ws.RowCount(); ++r)
      for (int c = 0; c < ws.ColumnCount(); ++c)
        if ((Uncached(ws.Cell(r, c)) || (ws.Name() == recalculatedSheet && ws.Cell(r, c).isFormula)) &&
            r < static_cast<int>(theirs.size()) && c < static_cast<int>(theirs[r].size()))
          theirs[r][c] = ours[r][c];
    EXPECT_EQ(Trimmed(theirs), Trimmed(ours)) << "sheet " << ps.name;
  }
}

// Saves `wb` to `path`, reads it back and checks that both readers see what the engine reads.
Workbook SaveAndCompare(Workbook& wb, const std::string& path, const std::u16string& recalculatedSheet = u"") {
  wb.Save(path);
  Workbook back = Workbook::Load(path);
  ExpectXlrdSees(back, path);
  ExpectLibreOfficeShows(back, path, recalculatedSheet);
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

std::vector<std::uint8_t> WorkbookStream(const std::string& fixture) {
  return *CompoundFile::Parse(ReadFileBytes(XlsFixture(fixture))).FindStream(u"Workbook");
}

void ExpectTwoSheetContent(const Workbook& wb, bool cachedFormulaResults) {
  QFile f(QString::fromStdString(XlsFixture("content_two_sheets.json")));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QJsonArray sheets = QJsonDocument::fromJson(f.readAll()).object()["sheets"].toArray();
  ASSERT_EQ(wb.SheetCount(), 2u);
  // 型号A: texts only, some that look like numbers.
  const Worksheet& a = wb.Sheet(0);
  EXPECT_EQ(ToUtf8(a.Name()), sheets[0]["name"].toString().toStdString());
  const QJsonArray rows = sheets[0]["rows"].toArray();
  ASSERT_EQ(a.RowCount(), rows.size());
  for (int r = 0; r < rows.size(); ++r) {
    ASSERT_EQ(a.ColumnCount(), rows[r].toArray().size());
    for (int c = 0; c < a.ColumnCount(); ++c) {
      EXPECT_EQ(a.Cell(r, c).kind, CellKind::Text) << r << "," << c;
      EXPECT_EQ(ToUtf8(a.Cell(r, c).text), rows[r][c].toString().toStdString());
    }
  }
  // Numbers: numbers, formulas, a merged range, a date.
  const Worksheet& n = wb.Sheet(1);
  EXPECT_EQ(ToUtf8(n.Name()), "Numbers");
  const QJsonArray values = sheets[1]["values"].toArray();
  const QJsonObject formulas = sheets[1]["formulas"].toObject();
  ASSERT_EQ(n.RowCount(), values.size());
  for (int r = 0; r < values.size(); ++r)
    for (int c = 0; c < values[r].toArray().size(); ++c) {
      const QJsonValue expected = values[r][c];
      std::string where = std::string(1, static_cast<char>('A' + c)) + std::to_string(r + 1);
      CellValue v = n.Cell(r, c);
      EXPECT_EQ(v.isFormula, formulas.contains(QString::fromStdString(where))) << where;
      if (v.isFormula && !cachedFormulaResults) continue;
      if (expected.isDouble()) {
        EXPECT_EQ(v.kind, CellKind::Number) << where;
        EXPECT_DOUBLE_EQ(v.number, expected.toDouble()) << where;
      } else {
        EXPECT_EQ(v.kind == CellKind::Empty, expected.toString().isEmpty()) << where;
        EXPECT_EQ(ToUtf8(n.CellText(r, c)), expected.toString().toStdString()) << where;
      }
    }
  EXPECT_TRUE(n.Cell(6, 1).isDate);
  EXPECT_EQ(n.Cell(6, 1).kind, CellKind::Number);
  EXPECT_EQ(n.CellText(6, 1), u"2024-05-01");
  EXPECT_FALSE(n.Cell(1, 2).isDate);
}

}  // namespace

TEST(XlsWorkbookRead, LibreOfficeTwoSheetsMatchTheirDocumentedContent) {
  ExpectTwoSheetContent(Workbook::Load(XlsFixture("lo_two_sheets.xls")), true);
}

TEST(XlsWorkbookRead, XlwtTwoSheetsMatchTheirDocumentedContent) {
  Workbook wb = Workbook::Load(XlsFixture("xlwt_two_sheets.xls"));
  ExpectTwoSheetContent(wb, false);
  // Formulas written without a cached result read as formula cells without a value.
  CellValue d2 = wb.Sheet(1).Cell(1, 3);
  EXPECT_TRUE(d2.isFormula);
}

// Read as the fixture is, and written with many more long strings (across
// CONTINUE records too): xlrd and LibreOffice see what the engine reads.
TEST(XlsWorkbookRead, LongSharedStringsAcrossContinueRecordsReadAndWrittenMatchThePeers) {
  const std::string path = XlsFixture("lo_sst_continue.xls");
  Workbook wb = Workbook::Load(path);
  ASSERT_EQ(wb.SheetCount(), 1u);
  const Worksheet& ws = wb.Sheet(0);
  EXPECT_EQ(ws.Name(), u"\x5171\x4EAB\x5B57\x7B26\x4E32");  // 共享字符串
  EXPECT_EQ(ws.RowCount(), 503);
  EXPECT_EQ(ws.ColumnCount(), 3);
  std::size_t longest = 0;
  for (int r = 0; r < ws.RowCount(); ++r)
    for (int c = 0; c < 3; ++c) longest = std::max(longest, ws.Cell(r, c).text.size());
  EXPECT_GE(longest, 9000u);

  PeerBook peer = XlrdRead(path);
  ASSERT_TRUE(peer.refusal.empty()) << peer.refusal;
  ASSERT_EQ(peer.sheets.size(), 1u);
  const auto& rows = peer.sheets[0].rows;
  ASSERT_EQ(rows.size(), 503u);
  for (int r = 0; r < 503; ++r)
    for (int c = 0; c < 3; ++c) {
      std::string expected = c < static_cast<int>(rows[r].size()) ? rows[r][c] : "";
      CellValue v = ws.Cell(r, c);
      ASSERT_EQ(v.kind == CellKind::Empty ? "" : "T" + ToUtf8(v.text), expected) << "row " << r << " column " << c;
    }

  ScratchFolder dir;
  Worksheet& s = wb.AddSheet(u"Long");
  for (int r = 0; r < 300; ++r) {
    std::u16string chinese(static_cast<std::size_t>(1 + (r * 37) % 900), u'\x6C49');
    std::u16string latin(static_cast<std::size_t>(1 + (r * 53) % 700), static_cast<char16_t>(u'a' + r % 26));
    s.AppendRow({chinese + u"|" + std::u16string(1, static_cast<char16_t>(u'0' + r % 10)), latin + u"\x00E9", u"r"});
  }
  s.SetText(300, 0, std::u16string(9000, u'\x5B57'));
  s.SetText(301, 1, std::u16string(32767, u'q'));
  SaveAndCompare(wb, dir.File("long.xls"));
}

TEST(XlsWorkbookRead, EmptyWorkbooksSheetLookupAndCellLimits) {
  Workbook one = Workbook::Load(XlsFixture("lo_empty_1sheet.xls"));  // lives in the mini stream
  ASSERT_EQ(one.SheetNames(), std::vector<std::u16string>{u"Sheet1"});
  EXPECT_EQ(one.Sheet(0).RowCount(), 0);
  EXPECT_EQ(one.Sheet(0).ColumnCount(), 0);
  EXPECT_EQ(one.Sheet(0).Cell(100, 10).kind, CellKind::Empty);
  EXPECT_TRUE(one.Sheet(0).RowTexts(3).empty());
  Workbook three = Workbook::Load(XlsFixture("lo_empty_3sheets.xls"));  // no shared-string table
  EXPECT_EQ(three.SheetNames(), (std::vector<std::u16string>{u"Sheet1", u"Sheet2", u"Sheet3"}));

  // Sheets are found without regard to case.
  Workbook wb = Workbook::Load(XlsFixture("lo_two_sheets.xls"));
  EXPECT_EQ(wb.FindSheet(u"NUMBERS"), &wb.Sheet(1));
  EXPECT_EQ(wb.FindSheet(u"\x578B\x53F7"
                         u"a"),
            &wb.Sheet(0));  // 型号a
  EXPECT_EQ(wb.FindSheet(u"Number"), nullptr);
  EXPECT_THROW(wb.Sheet(2), platform::Error);
  // Cell addresses beyond the worksheet's limits are errors.
  const Worksheet& ws = wb.Sheet(0);
  EXPECT_NO_THROW(ws.Cell(65535, 255));
  EXPECT_THROW(ws.Cell(65536, 0), platform::Error);
  EXPECT_THROW(ws.Cell(0, 256), platform::Error);
  EXPECT_THROW(ws.CellText(-1, 0), platform::Error);
}

TEST(XlsWorkbookRead, FilesThatAreNotWorkbooksAreRefused) {
  ScratchFolder dir;
  try {
    Workbook::Load(dir.File("missing.xls"));
    ADD_FAILURE();
  } catch (const platform::Error& e) {
    EXPECT_NE(std::string(e.what()).find("missing.xls"), std::string::npos);
  }
  EXPECT_THROW(Workbook::Load(dir.Path()), platform::Error);

  std::vector<std::uint8_t> xlsx = {'P', 'K', 3, 4};
  xlsx.resize(3000, 0);
  EXPECT_NE(LoadError(xlsx).find("not an OLE2 compound file"), std::string::npos);
  // A compound file without a workbook stream (a Word document, say).
  CompoundFile doc = CompoundFile::CreateEmpty({});
  doc.SetStream(u"WordDocument", std::vector<std::uint8_t>(5000, 1));
  EXPECT_NE(LoadError(doc.Serialize()).find("no 'Workbook' stream"), std::string::npos);
  // Excel 5: a "Book" stream, or a BIFF5 BOF in the Workbook stream.
  std::vector<std::uint8_t> biff5;
  AppendRecord(biff5, rec::kBof, std::vector<std::uint8_t>{0x00, 0x05, 0x05, 0x00, 0, 0, 0, 0});
  AppendRecord(biff5, rec::kEof, {});
  for (std::u16string_view name : {u"Book", u"Workbook"})
    EXPECT_NE(LoadError(WithWorkbookStream("lo_empty_1sheet.xls", biff5, name)).find("Excel 5"), std::string::npos);
}

TEST(XlsWorkbookRead, DamagedWorkbookStreamsNameTheProblem) {
  const std::vector<std::uint8_t> good = WorkbookStream("lo_two_sheets.xls");
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

TEST(XlsWorkbookRead, CorruptedFilesNeverCrash) {
  // Flipped bytes: either a clear error or a workbook that can be read and saved
  // (files cut short are refused in the compound file and stream tests).
  std::uint32_t seed = 12345;
  for (int round = 0; round < 200; ++round) {
    std::vector<std::uint8_t> bad = ReadFileBytes(XlsFixture(round % 2 ? "lo_two_sheets.xls" : "xlwt_two_sheets.xls"));
    for (int k = 0; k < 4; ++k) {
      seed = seed * 1103515245 + 12345;
      bad[(seed >> 8) % bad.size()] ^= static_cast<std::uint8_t>(seed >> 3 | 1);
    }
    try {
      Workbook wb = Workbook::LoadFromMemory(bad);
      for (std::size_t s = 0; s < wb.SheetCount(); ++s)
        for (int r = 0; r < wb.Sheet(s).RowCount(); ++r) wb.Sheet(s).RowTexts(r);
      Workbook::LoadFromMemory(wb.SaveToMemory());
    } catch (const platform::Error&) {
    }
  }
}

namespace {

// A one-sheet workbook whose sheet holds one cell of every record kind that
// writers use, inserted by hand before the sheet's WINDOW2.
std::vector<std::uint8_t> EveryCellKindWorkbook() {
  Workbook wb = Workbook::CreateEmpty();
  wb.AddSheet(u"Kinds");
  CompoundFile cf = CompoundFile::Parse(wb.SaveToMemory());
  std::vector<std::uint8_t> s = *cf.FindStream(u"Workbook");
  std::vector<std::uint8_t> cells;
  using Bytes = std::vector<std::uint8_t>;
  // A record of `type`: row, column, format 15, then `tail`.
  auto add = [&](std::uint16_t type, std::uint16_t r, std::uint16_t c, const Bytes& tail) {
    Bytes d;
    AppendU16(d, r);
    AppendU16(d, c);
    AppendU16(d, 15);
    d.insert(d.end(), tail.begin(), tail.end());
    AppendRecord(cells, type, d);
  };
  auto text = [](std::u16string_view t, Bytes after = {}) {
    Bytes d;
    AppendUnicodeString(d, t, false);
    d.insert(d.end(), after.begin(), after.end());
    return d;
  };
  auto u32 = [](std::uint32_t v) {
    Bytes d;
    AppendU32(d, v);
    return d;
  };
  auto f64 = [](double v) {
    Bytes d;
    AppendF64(d, v);
    return d;
  };
  add(rec::kLabel, 0, 0, text(u"label \x4E2D"));
  add(rec::kRString, 0, 1, text(u"rich", {1, 0, 2, 0, 1, 0}));  // one formatting run
  add(rec::kRk, 1, 0, u32((123u << 2) | 2));
  add(rec::kRk, 1, 1, u32((123u << 2) | 3));
  add(rec::kRk, 1, 2, u32(0x3FE00000));
  Bytes mulrk;  // row 2, columns 0..2 (the first column is the record's own)
  for (std::uint32_t rk : {0x40040000u, (777u << 2) | 3}) {
    AppendU16(mulrk, 15);
    AppendU32(mulrk, rk);
  }
  AppendU16(mulrk, 2);
  add(rec::kMulRk, 2, 0, [&] {
    Bytes d = u32(static_cast<std::uint32_t>((-5 * 4) | 2));
    d.insert(d.end(), mulrk.begin(), mulrk.end());
    return d;
  }());
  add(rec::kNumber, 3, 0, f64(3.14159));
  add(rec::kBoolErr, 3, 1, {1, 0});
  add(rec::kBoolErr, 3, 2, {0x07, 1});
  add(rec::kBlank, 4, 0, {});
  add(rec::kMulBlank, 4, 1, {15, 0, 15, 0, 3, 0});
  // Formula results: a string (with its STRING record), a boolean, an error, a number, an empty string.
  auto formula = [&](std::uint16_t col, Bytes value) {
    for (std::uint8_t b : {0, 0, 0, 0, 0, 0, 3, 0, 0x1E, 0x01, 0x00}) value.push_back(b);  // flags, chain, =1
    add(rec::kFormula, 5, col, value);
  };
  formula(0, {0, 0, 0, 0, 0, 0, 0xFF, 0xFF});
  AppendRecord(cells, rec::kString, text(u"abc"));
  formula(1, {1, 0, 0, 0, 0, 0, 0xFF, 0xFF});
  formula(2, {2, 0, 0x2A, 0, 0, 0, 0xFF, 0xFF});
  formula(3, f64(42.5));
  formula(4, {3, 0, 0, 0, 0, 0, 0xFF, 0xFF});

  s.insert(s.begin() + RecordsOf(s, rec::kWindow2).at(0), cells.begin(), cells.end());
  cf.SetStream(u"Workbook", s);
  return cf.Serialize();
}

}  // namespace

TEST(XlsWorkbookRead, EveryCellRecordKindReadsAsXlrdReadsIt) {
  ScratchFolder dir;
  const std::string path = dir.File("kinds.xls");
  {
    auto bytes = EveryCellKindWorkbook();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  const std::vector<std::vector<std::string>> texts = {
      {ToUtf8(u"label \x4E2D"), "rich"}, {"123", "1.23", "0.5"}, {"-5", "2.5", "7.77"},
      {"3.14159", "TRUE", "#DIV/0!"},    {"", "", "", ""},       {"abc", "FALSE", "#N/A", "42.5", ""}};
  const std::vector<std::vector<std::string>> typed = {{"T" + ToUtf8(u"label \x4E2D"), "Trich"},
                                                       {"N123", "N1.23", "N0.5"},
                                                       {"N-5", "N2.5", "N7.77"},
                                                       {"N3.14159", "B1", "E7"},
                                                       {"", "", "", ""},
                                                       {"Tabc", "B0", "E42", "N42.5", "T"}};

  Workbook wb = Workbook::Load(path);
  const Worksheet& ws = wb.Sheet(0);
  ASSERT_EQ(ws.RowCount(), 6);
  for (std::size_t r = 0; r < texts.size(); ++r)
    for (std::size_t c = 0; c < texts[r].size(); ++c)
      EXPECT_EQ(ToUtf8(ws.CellText(static_cast<int>(r), static_cast<int>(c))), texts[r][c]) << r << "," << c;
  EXPECT_TRUE(ws.Cell(5, 0).isFormula);
  EXPECT_EQ(ws.Cell(5, 4).kind, CellKind::Text);
  EXPECT_EQ(ws.Cell(3, 2).errorCode, 0x07);

  PeerBook peer = XlrdRead(path);
  ASSERT_TRUE(peer.refusal.empty()) << peer.refusal;
  EXPECT_EQ(Trimmed(peer.sheets.at(0).rows), Trimmed(typed));

  // Rewritten, the formulas come back with their results and the sheet asks
  // for recalculation.
  wb.Sheet(0).SetText(7, 0, u"changed");
  const std::string again = dir.File("again.xls");
  wb.Save(again);
  std::vector<std::uint8_t> stream = *CompoundFile::Parse(ReadFileBytes(again)).FindStream(u"Workbook");
  EXPECT_FALSE(RecordsOf(stream, 0x005E).empty());  // UNCALCED
  PeerBook peer2 = XlrdRead(again);
  ASSERT_TRUE(peer2.refusal.empty()) << peer2.refusal;
  auto expected = typed;
  expected.push_back({});
  expected.push_back({"Tchanged"});
  EXPECT_EQ(Trimmed(peer2.sheets.at(0).rows), Trimmed(expected));
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

TEST(XlsPeers, NewWorkbookAndClearedSheet) {
  ScratchFolder dir;
  Workbook wb = Workbook::CreateEmpty();
  Worksheet& a = wb.AddSheet(u"PCB");
  a.AppendRow(U16Row({u8"时间", u8"SN", u8"A", u8"B"}));
  for (int r = 0; r < 50; ++r)
    a.AppendRow({u"t" + std::u16string(1, static_cast<char16_t>(u'0' + r % 10)), u"SN", u"PASS", u"1.23"});
  wb.AddSheet(u"Empty");
  SaveAndCompare(wb, dir.File("fresh.xls"));

  Workbook two = Workbook::Load(XlsFixture("xlwt_two_sheets.xls"));
  two.FindSheet(u"Numbers")->Clear();
  two.FindSheet(u"Numbers")->AppendRow({u"after", u"clear"});
  two.FindSheet(FromUtf8(u8"型号A"))->AppendRow(U16Row({u8"x", u8"y"}));
  EXPECT_EQ(SaveAndCompare(two, dir.File("cleared.xls")).Sheet(1).RowCount(), 1);
}

TEST(XlsPeers, LargeWorkbookWithDifatSectorsReadsInXlrd) {
  ScratchFolder dir;
  Workbook wb = Workbook::CreateEmpty();
  Worksheet& s = wb.AddSheet(u"Big");
  std::vector<std::u16string> row(20);
  for (int r = 0; r < 20000; ++r) {
    for (int c = 0; c < 20; ++c) {
      std::string t = "r" + std::to_string(r) + "c" + std::to_string(c) + "-value";
      row[c] = std::u16string(t.begin(), t.end());
    }
    s.AppendRow(row);
  }
  const std::string path = dir.File("big.xls");
  wb.Save(path);
  PeerBook peer = XlrdRead(path);
  ASSERT_TRUE(peer.refusal.empty()) << peer.refusal;
  ASSERT_EQ(peer.sheets.size(), 1u);
  ASSERT_EQ(peer.sheets[0].rows.size(), 20000u);
  EXPECT_EQ(peer.sheets[0].rows[0][0], "Tr0c0-value");
  EXPECT_EQ(peer.sheets[0].rows[19999][19], "Tr19999c19-value");
  EXPECT_EQ(peer.sheets[0].rows[12345][7], "Tr12345c7-value");
}

namespace {

std::vector<std::uint8_t> StreamOf(const std::vector<std::uint8_t>& file) {
  return *CompoundFile::Parse(file).FindStream(u"Workbook");
}

std::size_t FirstSheetStart(const std::vector<std::uint8_t>& stream) {
  return GetU32(&stream[RecordsOf(stream, rec::kBoundSheet).at(0) + 4]);
}

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

struct AppendCase {
  const char* what;
  std::vector<std::uint8_t> file;
  std::vector<std::vector<std::u16string>> appended;
  std::function<void(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after)> check;
};

}  // namespace

// Rows appended to a loaded sheet are written after its old records, which
// stay as they were; the readers must see the old rows and the new ones in
// every shape of file that append meets.
TEST(XlsPeers, RowsAppendedWithoutRebuildingTheSheetReadTheSameEverywhere) {
  std::vector<AppendCase> cases;
  {
    AppendCase c{"workbook stream inside the mini stream", Saved(4, 3, u"m"), {{u"\x65B0", u"SN9", u"PASS"}}, {}};
    c.check = [](const auto& before, const auto& after) {
      EXPECT_LT(StreamOf(before).size(), 4096u);
      EXPECT_LT(StreamOf(after).size(), 4096u);
    };
    cases.push_back(std::move(c));
  }
  {
    AppendCase c{"workbook stream leaving the mini stream", Saved(4, 3, u"m"), {}, {}};
    for (int r = 0; r < 120; ++r) c.appended.push_back(NumberedRow(u"grown-", r, 3));
    c.check = [](const auto& before, const auto& after) {
      EXPECT_LT(StreamOf(before).size(), 4096u);
      EXPECT_GE(StreamOf(after).size(), 4096u);
    };
    cases.push_back(std::move(c));
  }
  {
    // Unique strings filling most of one SST record; the new ones (a long
    // Chinese text among them) go on in CONTINUE records.
    AppendCase c{"shared strings growing across a CONTINUE boundary", Saved(100, 3, u"unique-string-"), {}, {}};
    c.appended.push_back({std::u16string(1500, u'\x6C49'), u"SN-new", std::u16string(3000, u'x')});
    c.appended.push_back({u"\x65B0\x503C", std::u16string(2500, u'\x00E9'), u"last"});
    c.check = [](const auto& before, const auto& after) {
      auto s0 = StreamOf(before), s1 = StreamOf(after);
      EXPECT_TRUE(RecordsOf(s0, rec::kContinue).empty()) << "the table started in one record";
      EXPECT_FALSE(RecordsOf(s1, rec::kContinue).empty());
    };
    cases.push_back(std::move(c));
  }
  {
    // A row index (INDEX and DBCELLs), as Excel writes it.
    CompoundFile cf = CompoundFile::Parse(Saved(100, 3, u"i"));
    auto stream = *cf.FindStream(u"Workbook");
    cf.SetStream(u"Workbook", WithRowIndex(stream, FirstSheetStart(stream)));
    AppendCase c{"sheet with a row index", cf.Serialize(), {{u"a", u"b", u"c"}, {u"d", u"e", u"f"}}, {}};
    c.check = [](const auto& before, const auto& after) {
      auto s0 = StreamOf(before), s1 = StreamOf(after);
      EXPECT_EQ(CheckedRowIndex(s0, FirstSheetStart(s0)), 4);
      ASSERT_EQ(CheckedRowIndex(s1, FirstSheetStart(s1)), 5) << "the new rows' block joins the index";
      std::size_t index = FirstSheetStart(s1) + 4 + GetU16(&s1[FirstSheetStart(s1) + 2]);
      EXPECT_EQ(GetU32(&s1[index + 4 + 8]), 102u) << "rows up to the last new one";
      std::size_t dims = RecordsOf(s1, rec::kDimensions, FirstSheetStart(s1)).at(0);
      EXPECT_EQ(GetU32(&s1[dims + 4 + 4]), 102u);
    };
    cases.push_back(std::move(c));
  }

  ScratchFolder dir;
  for (const AppendCase& c : cases) {
    SCOPED_TRACE(c.what);
    Workbook wb = Workbook::LoadFromMemory(c.file);
    auto expected = SheetTexts(wb.Sheet(0));
    for (const auto& row : c.appended) {
      wb.Sheet(0).AppendRow(row);
      std::vector<std::string> texts;
      for (const auto& t : row) texts.push_back(ToUtf8(t));
      expected.push_back(texts);
    }
    const std::string path = dir.File("appended.xls");
    Workbook back = SaveAndCompare(wb, path);
    EXPECT_EQ(SheetTexts(back.Sheet(0)), expected);
    EXPECT_EQ(SheetTexts(back.Sheet(1)), (std::vector<std::vector<std::string>>{{"kept"}}));
    const auto saved = ReadFileBytes(path);
    c.check(c.file, saved);
    auto stream = StreamOf(saved);
    std::size_t dims = RecordsOf(stream, rec::kDimensions, FirstSheetStart(stream)).at(0);
    EXPECT_EQ(GetU32(&stream[dims + 4 + 4]), expected.size()) << "DIMENSIONS takes the new rows in";
  }
}
