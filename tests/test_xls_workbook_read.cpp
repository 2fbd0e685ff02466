// Reading real workbooks written by LibreOffice and by xlwt, checked against the
// fixtures' documented content and against python3-xlrd; and refusing files that
// are not readable BIFF8 workbooks with a clear error.
#include <gtest/gtest.h>

#include <QFile>
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

std::string LoadError(std::span<const std::uint8_t> bytes) {
    try {
        Workbook::LoadFromMemory(bytes);
    } catch (const XlsError& e) {
        return e.what();
    }
    return "";
}

// The fixture with its Workbook stream replaced by `stream`.
std::vector<std::uint8_t> WithWorkbookStream(const std::string& fixture, std::vector<std::uint8_t> stream,
                                             std::u16string_view name = u"Workbook") {
    CompoundFile cf = name == u"Workbook" ? CompoundFile::Parse(ReadFileBytes(XlsFixture(fixture)))
                                          : CompoundFile::CreateEmpty({});
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

TEST(XlsWorkbookRead, LongSharedStringsAcrossContinueRecordsMatchXlrd) {
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
    EXPECT_EQ(wb.FindSheet(u"\x578B\x53F7" u"a"), &wb.Sheet(0));  // 型号a
    EXPECT_EQ(wb.FindSheet(u"Number"), nullptr);
    EXPECT_THROW(wb.Sheet(2), XlsError);
    // Cell addresses beyond the worksheet's limits are errors.
    const Worksheet& ws = wb.Sheet(0);
    EXPECT_NO_THROW(ws.Cell(65535, 255));
    EXPECT_THROW(ws.Cell(65536, 0), XlsError);
    EXPECT_THROW(ws.Cell(0, 256), XlsError);
    EXPECT_THROW(ws.CellText(-1, 0), XlsError);
}

TEST(XlsWorkbookRead, FilesThatAreNotWorkbooksAreRefused) {
    ScratchFolder dir;
    try {
        Workbook::Load(dir.File("missing.xls"));
        ADD_FAILURE();
    } catch (const XlsError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.xls"), std::string::npos);
    }
    EXPECT_THROW(Workbook::Load(dir.Path()), XlsError);

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
        {[&](auto& s) { PutU32(&s[label + 4 + 6], 999999); }, "shared-string"},        // no such shared string
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

TEST(XlsWorkbookRead, TruncatedAndCorruptedFilesNeverCrash) {
    const std::vector<std::uint8_t> file = ReadFileBytes(XlsFixture("lo_sst_continue.xls"));
    for (std::size_t cut = 0; cut < file.size(); cut += file.size() / 37 + 1)
        EXPECT_FALSE(LoadError(std::vector<std::uint8_t>(file.begin(), file.begin() + cut)).empty()) << cut;
    // Flipped bytes: either a clear error or a workbook that can be read and saved.
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
        } catch (const XlsError&) {
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
    auto u32 = [](std::uint32_t v) { Bytes d; AppendU32(d, v); return d; };
    auto f64 = [](double v) { Bytes d; AppendF64(d, v); return d; };
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
    add(rec::kMulRk, 2, 0, [&] { Bytes d = u32(static_cast<std::uint32_t>((-5 * 4) | 2)); d.insert(d.end(), mulrk.begin(), mulrk.end()); return d; }());
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
        {"3.14159", "TRUE", "#DIV/0!"}, {"", "", "", ""}, {"abc", "FALSE", "#N/A", "42.5", ""}};
    const std::vector<std::vector<std::string>> typed = {
        {"T" + ToUtf8(u"label \x4E2D"), "Trich"}, {"N123", "N1.23", "N0.5"}, {"N-5", "N2.5", "N7.77"},
        {"N3.14159", "B1", "E7"}, {"", "", "", ""}, {"Tabc", "B0", "E42", "N42.5", "T"}};

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
    Workbook back = Workbook::Load(again);
    for (std::size_t r = 0; r < texts.size(); ++r)
        for (std::size_t c = 0; c < texts[r].size(); ++c)
            EXPECT_EQ(ToUtf8(back.Sheet(0).CellText(static_cast<int>(r), static_cast<int>(c))), texts[r][c]);
    std::vector<std::uint8_t> stream = *CompoundFile::Parse(ReadFileBytes(again)).FindStream(u"Workbook");
    EXPECT_FALSE(RecordsOf(stream, 0x005E).empty());  // UNCALCED
    PeerBook peer2 = XlrdRead(again);
    ASSERT_TRUE(peer2.refusal.empty()) << peer2.refusal;
    auto expected = typed;
    expected.push_back({});
    expected.push_back({"Tchanged"});
    EXPECT_EQ(Trimmed(peer2.sheets.at(0).rows), Trimmed(expected));
}
