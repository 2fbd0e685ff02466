// BIFF8 record level: the shared-string table across CONTINUE records (both
// directions), string decoding, and how cell values read as text.
#include <gtest/gtest.h>

#include <tuple>

#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/BiffRecord.h"
#include "spreadsheet/xls/BiffSst.h"
#include "spreadsheet/xls/CellText.h"
#include "platform/Error.h"

using namespace xls;

namespace {

std::vector<SstString> RoundTrip(const std::vector<SstString>& in) {
  SerializedSst s = SerializeSst(in, 0);
  // Every record obeys the size limit.
  for (std::size_t at = 0; at < s.bytes.size();) {
    std::size_t len = GetU16(&s.bytes[at + 2]);
    EXPECT_LE(len, kMaxRecordData);
    at += 4 + len;
  }
  return ParseSst(ReadRecordGroup(s.bytes, 0));
}

}  // namespace

TEST(XlsSst, LongAndMixedStringsCrossRecordBoundaries) {
  std::vector<SstString> in;
  in.push_back({u"", {}, {}});
  in.push_back({std::u16string(9000, u'\x6C49'), {}, {}});  // 18,000 bytes of UTF-16
  in.push_back({std::u16string(6000, u'a'), {}, {}});       // compressed, crosses a boundary
  for (int i = 0; i < 3000; ++i)
    in.push_back({u"row-" + std::u16string(std::size_t(i % 37), u'\x00E9') + u"\x4E2D", {}, {}});
  in.push_back({u"rich text with runs", {0, 0, 1, 0, 5, 0, 2, 0}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}});
  in.push_back({std::u16string(20000, u'b'), {}, std::vector<std::uint8_t>(9000, 0x5A)});  // phonetic block split
  auto out = RoundTrip(in);
  ASSERT_EQ(out.size(), in.size());
  for (std::size_t i = 0; i < in.size(); ++i)
    EXPECT_EQ(std::tie(out[i].text, out[i].runs, out[i].phonetic), std::tie(in[i].text, in[i].runs, in[i].phonetic)) << i;
}

TEST(XlsSst, ContinuedCharactersMayChangeWidth) {
  // "abc" in the SST record, then a CONTINUE whose flags byte switches to UTF-16.
  std::vector<std::uint8_t> sst = {1, 0, 0, 0, 2, 0, 0, 0, 5, 0, 0, 'a', 'b', 'c'};
  std::vector<std::uint8_t> cont = {1, 0x2D, 0x4E, 0x87, 0x65};  // 中文
  std::vector<std::uint8_t> cont2 = {3, 0, 0, 'x', 'y', 'z'};
  std::vector<std::uint8_t> stream;
  AppendRecord(stream, rec::kSst, sst);
  AppendRecord(stream, rec::kContinue, cont);
  AppendRecord(stream, rec::kContinue, cont2);
  auto out = ParseSst(ReadRecordGroup(stream, 0));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].text, u"abc\x4E2D\x6587");
  EXPECT_EQ(out[1].text, u"xyz");
}

TEST(XlsSst, DamagedTablesAreRefused) {
  std::vector<std::uint8_t> stream;
  // A string longer than the data that follows.
  AppendRecord(stream, rec::kSst, std::vector<std::uint8_t>{1, 0, 0, 0, 1, 0, 0, 0, 50, 0, 0, 'a'});
  EXPECT_THROW(ParseSst(ReadRecordGroup(stream, 0)), platform::Error);
  // A count of strings that the bytes cannot hold.
  stream.clear();
  AppendRecord(stream, rec::kSst, std::vector<std::uint8_t>{1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F});
  EXPECT_THROW(ParseSst(ReadRecordGroup(stream, 0)), platform::Error);
  // A record whose length runs past the stream.
  std::vector<std::uint8_t> cut = {0xFC, 0x00, 0x20, 0x00, 1, 2};
  try {
    ReadRecordGroup(cut, 0);
    ADD_FAILURE();
  } catch (const platform::Error& e) {
    EXPECT_NE(std::string(e.what()).find("offset 0"), std::string::npos);
  }
}

TEST(XlsCellText, NumbersDatesAndFormats) {
  const std::pair<double, std::u16string> numbers[] = {
      {-0.0, u"0"}, {0.1 + 0.2, u"0.3"}, {1e20, u"1e+20"}, {123456789012.0, u"123456789012"}};
  for (const auto& [value, text] : numbers) EXPECT_EQ(NumberText(value), text) << value;
  // Serial days of the 1900 system (with its 29 February 1900) and of the 1904 one.
  const std::tuple<double, bool, DateKind, std::u16string> dates[] = {
      {45413, false, DateKind::Date, u"2024-05-01"}, {45413.5, false, DateKind::DateTime, u"2024-05-01 12:00:00"},
      {0.75, false, DateKind::Time, u"18:00:00"},    {60, false, DateKind::Date, u"1900-02-29"},
      {61, false, DateKind::Date, u"1900-03-01"},
      {0, true, DateKind::Date, u"1904-01-01"}};
  for (const auto& [serial, is1904, kind, text] : dates) EXPECT_EQ(DateText(serial, is1904, kind), text) << serial;
  const std::pair<std::u16string, DateKind> formats[] = {
      {u"yyyy/m/d h:mm", DateKind::DateTime}, {u"[h]:mm:ss", DateKind::Time},
      {u"[Red]#,##0.00;\"days\"", DateKind::None}, {u"\"Month\" 0", DateKind::None}};
  for (const auto& [format, kind] : formats) EXPECT_EQ(ClassifyFormatText(format), kind);
  for (auto [id, kind] : {std::pair{14, DateKind::Date}, {22, DateKind::DateTime}, {2, DateKind::None}})
    EXPECT_EQ(ClassifyBuiltinFormat(id), kind) << id;
}
