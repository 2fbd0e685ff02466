// The OLE2 compound file layer: round trips of streams on both sides of the
// mini-stream cut-off, nested storages, large files that need DIFAT sectors, and
// damaged files that must be refused with a clear error.
#include <gtest/gtest.h>

#include <functional>

#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/CompoundFile.h"
#include "platform/Error.h"
#include "tests/XlsTestSupport.h"

using xls::CompoundFile;

namespace {

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t seed) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 9));
  return v;
}

std::string ErrorOf(std::span<const std::uint8_t> bytes) {
  try {
    CompoundFile::Parse(bytes);
  } catch (const platform::Error& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(XlsCompoundFile, StreamsAroundTheCutOffRoundTrip) {
  CompoundFile cf = CompoundFile::CreateEmpty({1, 2, 3});
  std::vector<std::pair<std::u16string, std::size_t>> sizes = {
      {u"Empty", 0}, {u"Mini", 4095}, {u"Big", 4096}, {u"Bigger", 70001}, {u"\x05SummaryInformation", 200}};
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

TEST(XlsCompoundFile, DamagedFilesAndOtherFormatsGiveClearErrors) {
  CompoundFile cf = CompoundFile::CreateEmpty({});
  cf.SetStream(u"Workbook", Pattern(20000, 3));
  cf.SetStream(u"Small", Pattern(300, 4));
  const std::vector<std::uint8_t> good = cf.Serialize();
  CompoundFile two = CompoundFile::CreateEmpty({});
  two.SetStream(u"A", Pattern(9000, 1));
  two.SetStream(u"B", Pattern(9000, 2));
  // The first directory sector and the first FAT sector of a file.
  auto dir = [](std::vector<std::uint8_t>& f) { return &f[(xls::GetU32(&f[0x30]) + 1) * 512]; };
  auto fat = [](std::vector<std::uint8_t>& f) { return &f[(xls::GetU32(&f[0x4C]) + 1) * 512]; };

  // Cut anywhere: refused, never read past the end.
  for (std::size_t cut : {512u, 4096u, static_cast<unsigned>(good.size() - 512)})
    EXPECT_FALSE(ErrorOf(std::vector<std::uint8_t>(good.begin(), good.begin() + cut)).empty()) << cut;

  std::vector<std::uint8_t> zip = {'P', 'K', 3, 4, 20, 0, 0, 0};
  zip.resize(600, 0);
  auto none = [](auto&) {};
  const struct {
    std::vector<std::uint8_t> file;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    std::string expected;
  } cases[] = {
      {zip, none, "ZIP"},
      {{}, none, "not an OLE2 compound file"},
      {good, [&](auto& f) { xls::PutU32(fat(f) + 4 * 2, 1); }, "loops"},  // sector 2 -> 1 -> 2 ...
      {good,
       [&](auto& f) {  // a directory whose sibling links form a cycle
         std::uint32_t child = xls::GetU32(dir(f) + 0x4C);
         xls::PutU32(dir(f) + child * 128 + 0x44, child);
       },
       "directory"},
      {good,
       [&](auto& f) {  // a stream claiming more bytes than the file holds
         for (int i = 1; i < 4; ++i)
           if (dir(f)[i * 128 + 0x42] == 2 && xls::GetU32(dir(f) + i * 128 + 0x78) == 20000)
             xls::PutU32(dir(f) + i * 128 + 0x78, 0x7FFFFFF0);
       },
       "claims"},
      // Two streams sharing their sectors (a small file that would read as a huge one).
      {two.Serialize(), [&](auto& f) { xls::PutU32(dir(f) + 2 * 128 + 0x74, xls::GetU32(dir(f) + 128 + 0x74)); },
       "crosses another chain"},
      {good, [&](auto& f) { xls::PutU16(&f[0x1E], 7); }, "unsupported"},  // sector size
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bad = c.file;
    c.damage(bad);
    EXPECT_NE(ErrorOf(bad).find(c.expected), std::string::npos) << c.expected << ": " << ErrorOf(bad);
  }
}
