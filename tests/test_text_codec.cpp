#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "platform/TextCodec.h"

using namespace platform;

TEST(TextCodec, GbkRoundTripsChineseAndAscii) {
  const std::string gbk = "\xB1\xA3\xB4\xE6 ok";  // 保存 ok
  EXPECT_EQ(GbkToUtf8(gbk), "保存 ok");
  EXPECT_EQ(Utf8ToGbk("保存 ok"), gbk);
  EXPECT_EQ(GbkToUtf16(gbk), u"保存 ok");
  EXPECT_EQ(Utf16ToGbk(u"保存 ok"), gbk);
  EXPECT_EQ(Gbk(u8"保存文件失败!"), Utf8ToGbk("保存文件失败!"));
}

TEST(TextCodec, InvalidInputIsReplacedNotDropped) {
  EXPECT_EQ(GbkToUtf16(std::string("a\xFF" "b")), u"a\uFFFDb");
  EXPECT_EQ(GbkToUtf16(std::string("a\xB1")), u"a\uFFFD");  // lead byte cut off
  EXPECT_EQ(Utf16ToGbk(u"a\u0E01b"), "a?b");                // Thai: not in GBK
  EXPECT_EQ(GbkToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

// Each byte of no GBK character becomes 0xFF: decoding gives the same text,
// and no marked byte can take the byte after it (a quote, a bracket) as its
// trail byte.
TEST(TextCodec, StrayBytesAreMarkedOneByOne) {
  const struct {
    std::string raw, marked;
  } cases[] = {
      {"\xB1\xA3\xB4\xE6 ok", "\xB1\xA3\xB4\xE6 ok"},         // valid text stays as it is
      {"\x80", "\x80"},                                       // the euro sign in this code page
      {"a\xFF" "b", "a\xFF" "b"},                              // never a GBK byte
      {"ab\xB2", "ab\xFF"},                                   // lead byte cut off at the end
      {"\x81 x", "\xFF x"},                                   // lead byte before a byte that is no trail
      {"\xA2]x", "\xFF]x"},                                   // a pair this code page leaves unassigned
      {"\x81\x7F\xB1\xA3", "\xFF\x7F\xB1\xA3"},                   // 0x7F is no trail byte; then 保
      {"\x1B[32mPASS\xA1", "\x1B[32mPASS\xFF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GbkWithStrayBytesMarked(c.raw), c.marked) << c.raw;
    EXPECT_EQ(GbkToUtf16(c.marked), GbkToUtf16(c.raw)) << c.raw;
    const std::string marked = GbkWithStrayBytesMarked(c.raw);
    for (std::size_t i = 0; i < marked.size(); ++i)
      if (GbkIsCharStart(marked, i) && static_cast<unsigned char>(marked[i]) >= 0x81 && static_cast<unsigned char>(marked[i]) <= 0xFE)
        EXPECT_EQ(GbkToUtf16(marked.substr(i, 2)).size(), 1u) << "a marked text's lead byte keeps its own trail";
  }
}

TEST(TextCodec, SearchNeverStartsOnATrailByte) {
  // 獍 is 0xAB 0x41: its trail byte is 'A'.
  const std::string text = "\xAB\x41" "A";
  EXPECT_EQ(GbkFind(text, "A"), 2u);
  EXPECT_FALSE(GbkIsCharStart(text, 1));
  EXPECT_TRUE(GbkIsCharStart(text, 2));
  EXPECT_EQ(GbkFind("abcabc", "bc", 2), 4u);
  EXPECT_EQ(GbkFind("abc", "x"), std::string::npos);
  EXPECT_EQ(GbkFind("ab", "abc"), std::string::npos);
}

TEST(MessageBox, HandlerReceivesTheTextAndHeadlessDefaultReturns) {
  std::string seen;
  unsigned seenFlags = 0;
  SetMessageBoxHandler([&](const std::string& t, unsigned f) { seen = t; seenFlags = f; return IDOK; });
  EXPECT_EQ(MessageBox("x", MB_ICONERROR), IDOK);
  EXPECT_EQ(seen, "x");
  EXPECT_EQ(seenFlags, MB_ICONERROR);
  SetMessageBoxHandler(nullptr);
  EXPECT_EQ(MessageBox("headless"), IDOK);  // no application object: never blocks
}
