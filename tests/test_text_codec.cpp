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

TEST(TextCodec, SearchNeverStartsOnATrailByte) {
  // 獍 is 0xAB 0x41: its trail byte is 'A'.
  const std::string text = "\xAB\x41" "A";
  EXPECT_EQ(GbkFind(text, "A"), 2u);
  EXPECT_FALSE(GbkIsCharStart(text, 1));
  EXPECT_TRUE(GbkIsCharStart(text, 2));
  EXPECT_EQ(GbkFind("abcabc", "bc", 2), 4u);
  EXPECT_EQ(GbkFind("abc", "x"), std::string::npos);
  EXPECT_EQ(GbkFind("ab", "abc"), std::string::npos);
  // Candidates inside characters are passed over, wherever the search starts.
  const std::string trails = "\xAB\x41\xAB\x41" "x\xAB\x41" "A";
  EXPECT_EQ(GbkFind(trails, "A"), 7u);
  EXPECT_EQ(GbkFind(trails, "A", 3), 7u);
  EXPECT_EQ(GbkFind(trails, "\x41\xAB"), std::string::npos);
  EXPECT_EQ(GbkFind(trails, "\xAB\x41", 1), 2u);
  EXPECT_EQ(GbkFind("abc", "", 3), 3u);
  EXPECT_EQ(GbkFind("abc", "", 4), std::string::npos);
  EXPECT_EQ(GbkFind("abc", "c", 9), std::string::npos);
  // A lead byte at the very end stands alone.
  EXPECT_EQ(GbkFind("a\xAB", "\xAB"), 1u);
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
