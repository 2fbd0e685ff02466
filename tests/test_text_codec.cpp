#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "platform/TextCodec.h"

using namespace platform;

TEST(TextCodec, GbkRoundTripsChineseAndAscii) {
  const std::string gbk = "\xB1\xA3\xB4\xE6 ok";  // 保存 ok
  EXPECT_EQ(GbkToUtf8(gbk), "保存 ok");
  EXPECT_EQ(Utf8ToGbk("保存 ok"), gbk);
  EXPECT_EQ(Utf16ToGbk(u"保存 ok"), gbk);
  EXPECT_EQ(Utf16ToGbk(u"a\u0E01b"), "a?b");  // Thai: not in GBK
}

// Each byte of no GBK character decodes to U+FFFD and is marked 0xFF: the
// marked text decodes the same, and no marked byte can take the byte after
// it (a quote, a bracket) as its trail byte.
TEST(TextCodec, StrayBytesDecodeAsReplacementsAndAreMarkedOneByOne) {
  const struct {
    std::string raw, marked;
    std::u16string decoded;
  } cases[] = {
      {"\xB1\xA3\xB4\xE6 ok", "\xB1\xA3\xB4\xE6 ok", u"保存 ok"},  // valid text stays as it is
      {"\x80", "\x80", u"\u20AC"},                                // the euro sign in this code page
      {"ab\xB2", "ab\xFF", u"ab\uFFFD"},                           // lead byte cut off at the end
      {"\x81 x", "\xFF x", u"\uFFFD x"},                           // lead byte before a byte that is no trail
      {"\xA2]x", "\xFF]x", u"\uFFFD]x"},                           // a pair this code page leaves unassigned
      {"\x81\x7F\xB1\xA3", "\xFF\x7F\xB1\xA3", u"\uFFFD\x7F保"},    // 0x7F is no trail byte; then 保
      {"\xFF\xB1\xB1\xA3", "\xFF\xB1\xB1\xFF", u"\uFFFD北\uFFFD"},  // never a lead; 北; a lone lead
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GbkWithStrayBytesMarked(c.raw), c.marked) << c.raw;
    EXPECT_EQ(GbkToUtf16(c.raw), c.decoded) << c.raw;
    EXPECT_EQ(GbkToUtf16(c.marked), c.decoded) << c.raw;
    for (std::size_t i = 0; i < c.marked.size(); ++i)
      if (GbkIsCharStart(c.marked, i) && static_cast<unsigned char>(c.marked[i]) >= 0x81 &&
          static_cast<unsigned char>(c.marked[i]) <= 0xFE)
        EXPECT_EQ(GbkToUtf16(c.marked.substr(i, 2)).size(), 1u) << "a marked text's lead byte keeps its own trail";
  }
}

TEST(TextCodec, SearchNeverStartsOnATrailByte) {
  // 獍 is 0xAB 0x41: its trail byte is 'A'.
  const std::string text = "\xAB\101A";
  EXPECT_EQ(GbkFind(text, "A"), 2u);
  EXPECT_EQ(GbkFind("abcabc", "bc", 2), 4u);
  EXPECT_EQ(GbkFind("ab", "abc"), std::string::npos);
  // Candidates inside characters are passed over, wherever the search starts.
  const std::string trails = "\xAB\x41\xAB\x41x\xAB\101A";
  EXPECT_EQ(GbkFind(trails, "A"), 7u);
  EXPECT_EQ(GbkFind(trails, "A", 3), 7u);
  EXPECT_EQ(GbkFind(trails, "\xAB\x41", 1), 2u);
  EXPECT_EQ(GbkFind("abc", "", 4), std::string::npos);
  // A lead byte at the very end stands alone.
  EXPECT_EQ(GbkFind("a\xAB", "\xAB"), 1u);
}

// The handler path is what every saver test captures messages through.
TEST(MessageBox, WithoutAnApplicationObjectItNeverBlocks) {
  SetMessageBoxHandler(nullptr);
  EXPECT_EQ(MessageBox("headless"), IDOK);
}
