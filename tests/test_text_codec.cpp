#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>

#include "platform/MessageBox.h"
#include "platform/TextCodec.h"

using namespace platform;

TEST(TextCodec, GbkRoundTripsChineseAndAscii) {
  const std::string gbk = "\xB1\xA3\xB4\xE6 ok";  // 保存 ok
  EXPECT_EQ(GbkToUtf8(gbk), "保存 ok");
  EXPECT_EQ(Utf8ToGbk("保存 ok"), gbk);
  EXPECT_EQ(Utf16ToGbk(u"保存 ok"), gbk);
  EXPECT_EQ(Utf16ToGbk(u"a\u0E01b"), "a?b");  // Thai: not in GBK. Bytes that are no GBK text: compared with iconv below
}

// Each byte of no GBK character becomes 0xFF: decoding gives the same text,
// and no marked byte can take the byte after it (a quote, a bracket) as its
// trail byte.
TEST(TextCodec, StrayBytesAreMarkedOneByOne) {
  const struct {
    std::string raw, marked;
  } cases[] = {
      {"\xB1\xA3\xB4\xE6 ok", "\xB1\xA3\xB4\xE6 ok"},  // valid text stays as it is
      {"\x80", "\x80"},                                // the euro sign in this code page
      {"ab\xB2", "ab\xFF"},                            // lead byte cut off at the end
      {"\x81 x", "\xFF x"},                            // lead byte before a byte that is no trail
      {"\xA2]x", "\xFF]x"},                            // a pair this code page leaves unassigned
      {"\x81\x7F\xB1\xA3", "\xFF\x7F\xB1\xA3"},        // 0x7F is no trail byte; then 保
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GbkWithStrayBytesMarked(c.raw), c.marked) << c.raw;
    EXPECT_EQ(GbkToUtf16(c.marked), GbkToUtf16(c.raw)) << c.raw;
    const std::string marked = GbkWithStrayBytesMarked(c.raw);
    for (std::size_t i = 0; i < marked.size(); ++i)
      if (GbkIsCharStart(marked, i) && static_cast<unsigned char>(marked[i]) >= 0x81 &&
          static_cast<unsigned char>(marked[i]) <= 0xFE)
        EXPECT_EQ(GbkToUtf16(marked.substr(i, 2)).size(), 1u) << "a marked text's lead byte keeps its own trail";
  }
}

// The whole text through iconv at once, each byte it cannot read as U+FFFD:
// what the conversion must give.
std::u16string WholeTextThroughIconv(const std::string& gbk) {
  iconv_t cd = iconv_open("UTF-16LE", "GBK");
  std::u16string out;
  char* src = const_cast<char*>(gbk.data());
  std::size_t left = gbk.size();
  while (left > 0) {
    char buf[64];
    char* dst = buf;
    std::size_t room = sizeof buf;
    const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
    for (char* p = buf; p + 1 < dst; p += 2)
      out += static_cast<char16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8);
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out += u'\uFFFD';
      ++src;
      --left;
    }
  }
  iconv_close(cd);
  return out;
}

TEST(TextCodec, GbkDecodingMatchesIconvForEveryOneAndTwoByteText) {
  std::size_t mismatches = 0;
  for (int a = 0; a < 256; ++a) {
    const std::string one(1, static_cast<char>(a));
    mismatches += GbkToUtf16(one) != WholeTextThroughIconv(one);
    for (int b = 0; b < 256; ++b) {
      // Alone, and between ASCII bytes (a first byte whose pair is no
      // character must give way to the byte after it).
      const std::string two{static_cast<char>(a), static_cast<char>(b)};
      for (const std::string& text : {two, "a" + two + "1", "\xB1" + two, two + "\xB1"}) {
        if (GbkToUtf16(text) != WholeTextThroughIconv(text)) {
          ADD_FAILURE() << ::testing::PrintToString(text);
          if (++mismatches > 10) return;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0u);
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
