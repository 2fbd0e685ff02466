#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "mes/CS_QuerySN.h"
#include "mes/SoapEnvelopeHandler.h"
#include "mes/SoapWritersText.h"
#include "tests/test_soap_streams.h"

namespace {

using mes::CS_QuerySN::IO_UpData_CommonMap;
using mes::CS_QuerySN::IO_UpData_CommonParams;

std::string Escaped(std::u16string_view text, bool quotes = false) {
  std::string out = "[";
  mes::AppendEscapedText(out, text, quotes);
  return out;
}

std::string Base64(std::string_view bytes) {
  std::string out;
  mes::AppendBase64(out, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return out;
}

TEST(SoapEscape, MarkupAndEverythingOutsidePrintableAsciiIsEscapedUncarriableCharactersReplaced) {
  const struct {
    std::u16string text;
    bool quotes;
    const char* expected;
  } cases[] = {
      {u"a<b&c>d", false, "[a&lt;b&amp;c&gt;d"},
      {u"say \"hi\" 'x'", false, "[say \"hi\" 'x'"},  // quotes stay unless asked
      {u"\"'", true, "[&quot;&apos;"},
      {u"x\r\ny\t", false, "[x&#x000D;&#x000A;y&#x0009;"},
      {u"\u4E2D\u6587", false, "[&#x4E2D;&#x6587;"},
      {u"\u007F\u0080\u00E9\uD7FF\uE000\uFFFD", false, "[&#x007F;&#x0080;&#x00E9;&#xD7FF;&#xE000;&#xFFFD;"},
      // A surrogate pair is one code point.
      {u"\U0001F600", false, "[&#x01F600;"},
      // XML 1.0 forbids these characters even as references; a strict server refuses the
      // whole request, so each goes out as a visible stand-in. A device console's colour
      // codes: ESC is shown as its control picture.
      {u"\x1b[32mPASS\x1b[0m", false, "[&#x241B;[32mPASS&#x241B;[0m"},
      {std::u16string(1, u'\0'), false, "[&#x2400;"},
      {u"\x01\x08\x0B\x0C\x0E\x1F", false, "[&#x2401;&#x2408;&#x240B;&#x240C;&#x240E;&#x241F;"},
      {u"\uFFFE\uFFFF", false, "[&#xFFFD;&#xFFFD;"},
      // Unpaired surrogates: a high one at the end or before a non-low unit,
      // a low one alone, and the two halves in the wrong order.
      {std::u16string{u'a', char16_t(0xD83D)}, false, "[a&#xFFFD;"},
      {std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, false, "[&#xFFFD;&#xFFFD;"},
      {std::u16string{char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)}, false, "[&#xFFFD;&#x01F600;"},
  };
  for (const auto& c : cases) EXPECT_EQ(Escaped(c.text, c.quotes), c.expected);
}

TEST(SoapBase64, PaddingAndSeventySixCharacterLines) {
  const std::string b57(57, 'A');
  std::string line;
  for (int i = 0; i < 19; ++i) line += "QUFB";
  const std::pair<std::string, std::string> cases[] = {{"", ""},
                                                       {"\x31\x2E", "MS4="},
                                                       {"M", "TQ=="},
                                                       {"\xFB\xFF\xBF", "+/+/"},  // the alphabet's last two symbols
                                                       {b57, line + "\r\n"},
                                                       {b57 + "A", line + "\r\nQQ=="},
                                                       {b57 + b57, line + "\r\n" + line + "\r\n"}};
  for (const auto& [bytes, expected] : cases) EXPECT_EQ(Base64(bytes), expected) << bytes;
}

// The whole envelope (a nil text, the int, no "out" entry, no line breaks) is
// compared byte for byte in the proxy's tests; null blobs, an extreme int and
// controls in a text reach the spyne peer in its interop test.

// Long texts are escaped a slice at a time; the slices must join to exactly
// what one escaping of the whole text gives, wherever a surrogate pair falls.
TEST(SoapEnvelope, LongTextsAreWrittenWhole) {
  for (std::size_t offset = 0; offset < 6; ++offset) {
    std::u16string text(offset, u'a');
    while (text.size() < 9000) text += u"\u4E2D\U0001F600<&>b\x1b";
    IO_UpData_CommonParams p;
    p.BugReason = text;
    p.Recorder = text.substr(0, 4097);
    soaptest::StringSink out;
    mes::CSoapEnvelopeHandler h;
    ASSERT_EQ(h.WriteRequest(&out, IO_UpData_CommonMap(), &p), mes::kSoapOk);
    std::string bugReason = "<BugReason>", recorder = "<Recorder>";
    mes::AppendEscapedText(bugReason, text);
    mes::AppendEscapedText(recorder, *p.Recorder);
    EXPECT_NE(out.text.find(bugReason + "</BugReason><TempColumn1"), std::string::npos) << offset;
    EXPECT_NE(out.text.find(recorder + "</Recorder><SystemType>"), std::string::npos) << offset;
  }
}

}  // namespace
