// Files this engine wrote, read back by independent readers: python3-xlrd (typed
// cell values) and LibreOffice Calc (the texts it shows, sheet by sheet), compared
// with what the engine itself reads and with the values that were written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "spreadsheet/xls/BiffRecord.h"
#include "spreadsheet/xls/CompoundFile.h"

#include "spreadsheet/xls/Workbook.h"
#include "tests/XlsPeerDump.h"
#include "tests/XlsTestSupport.h"

using namespace xls;

namespace {

// A formula whose writer stored no result: readers that recalculate differ.
bool Uncached(const CellValue& v) { return v.isFormula && v.kind == CellKind::Empty; }

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
            int cols = std::max<int>(ws.ColumnCount(), r < static_cast<int>(ps.rows.size()) ? static_cast<int>(ps.rows[r].size()) : 0);
            for (int c = 0; c < cols; ++c) {
                std::string theirs = r < static_cast<int>(ps.rows.size()) && c < static_cast<int>(ps.rows[r].size()) ? ps.rows[r][c] : "";
                CellValue v = ws.Cell(r, c);
                std::string where = ps.name + " row " + std::to_string(r + 1) + " column " + std::to_string(c + 1);
                if (Uncached(v)) continue;
                switch (v.kind) {
                    case CellKind::Empty: ASSERT_EQ(theirs, "") << where; break;
                    case CellKind::Text: ASSERT_EQ(theirs, "T" + ToUtf8(v.text)) << where; break;
                    case CellKind::Number:
                        ASSERT_EQ(theirs.substr(0, 1), "N") << where;
                        ASSERT_EQ(std::strtod(theirs.c_str() + 1, nullptr), v.number) << where;
                        break;
                    case CellKind::Boolean: ASSERT_EQ(theirs, v.boolean ? "B1" : "B0") << where; break;
                    case CellKind::Error: ASSERT_EQ(theirs, "E" + std::to_string(v.errorCode)) << where; break;
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
                if ((Uncached(ws.Cell(r, c)) || (ws.Name() == recalculatedSheet && ws.Cell(r, c).isFormula)) && r < static_cast<int>(theirs.size()) && c < static_cast<int>(theirs[r].size()))
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

}  // namespace

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

TEST(XlsPeers, LongStringsWrittenAcrossContinueRecords) {
    ScratchFolder dir;
    Workbook wb = Workbook::Load(XlsFixture("lo_sst_continue.xls"));
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

TEST(XlsPeers, NewWorkbookAndClearedSheet) {
    ScratchFolder dir;
    Workbook wb = Workbook::CreateEmpty();
    Worksheet& a = wb.AddSheet(u"PCB");
    a.AppendRow(U16Row({u8"时间", u8"SN", u8"A", u8"B"}));
    for (int r = 0; r < 50; ++r) a.AppendRow({u"t" + std::u16string(1, static_cast<char16_t>(u'0' + r % 10)), u"SN", u"PASS", u"1.23"});
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
