// Files this engine wrote, read back by independent readers: python3-xlrd (typed
// cell values) and LibreOffice Calc (the texts it shows, sheet by sheet), compared
// with what the engine itself reads and with the values that were written.
#include <gtest/gtest.h>

#include <cstdlib>

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
