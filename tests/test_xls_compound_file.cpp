// The OLE2 compound file layer: round trips of streams on both sides of the
// mini-stream cut-off, nested storages, large files that need DIFAT sectors, and
// damaged files that must be refused with a clear error.
#include <gtest/gtest.h>

#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/CompoundFile.h"
#include "spreadsheet/xls/XlsError.h"
#include "tests/XlsTestSupport.h"

using xls::CompoundFile;
using xls::XlsError;

namespace {

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 9));
    return v;
}

std::string ErrorOf(std::span<const std::uint8_t> bytes) {
    try {
        CompoundFile::Parse(bytes);
    } catch (const XlsError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(XlsCompoundFile, StreamsAroundTheCutOffRoundTrip) {
    CompoundFile cf = CompoundFile::CreateEmpty({1, 2, 3});
    std::vector<std::pair<std::u16string, std::size_t>> sizes = {
        {u"Empty", 0}, {u"One", 1}, {u"Small", 63}, {u"Mini", 4095}, {u"Big", 4096}, {u"Bigger", 70001},
        {u"\x05SummaryInformation", 200}};
    for (std::size_t i = 0; i < sizes.size(); ++i)
        cf.SetStream(sizes[i].first, Pattern(sizes[i].second, static_cast<std::uint8_t>(i)));
    std::vector<std::uint8_t> bytes = cf.Serialize();
    EXPECT_EQ(bytes.size() % 512, 0u);

    CompoundFile back = CompoundFile::Parse(bytes);
    EXPECT_EQ(back.entries()[0].clsid[2], 3);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const auto* s = back.FindStream(sizes[i].first);
        ASSERT_NE(s, nullptr) << ToUtf8(sizes[i].first);
        EXPECT_EQ(*s, Pattern(sizes[i].second, static_cast<std::uint8_t>(i))) << ToUtf8(sizes[i].first);
    }
    // Names compare without regard to case; replacing keeps one entry.
    cf.SetStream(u"BIG", Pattern(10, 9));
    EXPECT_EQ(CompoundFile::Parse(cf.Serialize()).entries().size(), sizes.size() + 1);
    EXPECT_EQ(*CompoundFile::Parse(cf.Serialize()).FindStream(u"big"), Pattern(10, 9));
}

TEST(XlsCompoundFile, ManySiblingsAndAFixturesStreamsSurvive) {
    // A fixture with a real directory, re-serialised, then a stream added beside.
    CompoundFile cf = CompoundFile::Parse(ReadFileBytes(XlsFixture("lo_two_sheets.xls")));
    for (int i = 0; i < 40; ++i) cf.SetStream(u"S" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                                                  std::u16string(i / 26 + 1, u'x'),
                                              Pattern(100 + i * 300, static_cast<std::uint8_t>(i)));
    CompoundFile back = CompoundFile::Parse(cf.Serialize());
    ASSERT_EQ(back.entries().size(), cf.entries().size());
    for (std::size_t i = 0; i < cf.entries().size(); ++i) {
        const auto& a = cf.entries()[i];
        const auto* b = back.FindStream(a.name);
        if (a.type == CompoundFile::kStream) {
            ASSERT_NE(b, nullptr) << ToUtf8(a.name);
            EXPECT_EQ(*b, a.data);
        }
    }
}

TEST(XlsCompoundFile, LargeFileNeedsDifatSectors) {
    // 109 FAT sectors map about 7 MB; beyond that the FAT list goes on in DIFAT sectors.
    CompoundFile cf = CompoundFile::CreateEmpty({});
    cf.SetStream(u"Workbook", Pattern(9 * 1024 * 1024 + 5, 1));
    cf.SetStream(u"Tail", Pattern(5000, 2));
    std::vector<std::uint8_t> bytes = cf.Serialize();
    EXPECT_GT(xls::GetU32(&bytes[0x48]), 0u);  // DIFAT sectors used
    CompoundFile back = CompoundFile::Parse(bytes);
    EXPECT_EQ(*back.FindStream(u"Workbook"), Pattern(9 * 1024 * 1024 + 5, 1));
    EXPECT_EQ(*back.FindStream(u"Tail"), Pattern(5000, 2));
}

TEST(XlsCompoundFile, RefusesWhatIsNotACompoundFile) {
    std::vector<std::uint8_t> zip = {'P', 'K', 3, 4, 20, 0, 0, 0};
    zip.resize(600, 0);
    EXPECT_NE(ErrorOf(zip).find("ZIP"), std::string::npos);
    std::vector<std::uint8_t> text(2000, 'a');
    EXPECT_NE(ErrorOf(text).find("not an OLE2 compound file"), std::string::npos);
    EXPECT_NE(ErrorOf({}).find("not an OLE2 compound file"), std::string::npos);
}

TEST(XlsCompoundFile, DamagedStructuresGiveClearErrors) {
    CompoundFile cf = CompoundFile::CreateEmpty({});
    cf.SetStream(u"Workbook", Pattern(20000, 3));
    cf.SetStream(u"Small", Pattern(300, 4));
    const std::vector<std::uint8_t> good = cf.Serialize();

    // Cut anywhere: refused or read, never more.
    for (std::size_t cut : {512u, 1024u, 4096u, 10000u, static_cast<unsigned>(good.size() - 512)}) {
        std::vector<std::uint8_t> cutFile(good.begin(), good.begin() + cut);
        std::string err = ErrorOf(cutFile);
        EXPECT_FALSE(err.empty()) << cut;
    }
    // A FAT chain that loops.
    {
        auto bad = good;
        std::uint32_t fatSector = xls::GetU32(&bad[0x4C]);
        std::uint8_t* fat = &bad[(fatSector + 1) * 512];
        xls::PutU32(fat + 4 * 2, 1);  // sector 2 -> 1 -> 2 ...
        EXPECT_NE(ErrorOf(bad).find("loops"), std::string::npos) << ErrorOf(bad);
    }
    // A directory whose sibling links form a cycle.
    {
        auto bad = good;
        std::uint32_t dirSector = xls::GetU32(&bad[0x30]);
        std::uint8_t* dir = &bad[(dirSector + 1) * 512];
        std::uint32_t child = xls::GetU32(dir + 0x4C);
        xls::PutU32(dir + child * 128 + 0x44, child);
        EXPECT_NE(ErrorOf(bad).find("directory"), std::string::npos) << ErrorOf(bad);
    }
    // A stream claiming more bytes than the file holds.
    {
        auto bad = good;
        std::uint32_t dirSector = xls::GetU32(&bad[0x30]);
        std::uint8_t* dir = &bad[(dirSector + 1) * 512];
        for (int i = 1; i < 4; ++i)
            if (dir[i * 128 + 0x42] == 2 && xls::GetU32(dir + i * 128 + 0x78) == 20000)
                xls::PutU32(dir + i * 128 + 0x78, 0x7FFFFFF0);
        EXPECT_NE(ErrorOf(bad).find("claims"), std::string::npos) << ErrorOf(bad);
    }
    // Unsupported sector size.
    {
        auto bad = good;
        xls::PutU16(&bad[0x1E], 7);
        EXPECT_NE(ErrorOf(bad).find("unsupported"), std::string::npos);
    }
}
