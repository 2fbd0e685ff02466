#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "mes/CS_QuerySN.h"
#include "mes/SoapEnvelopeHandler.h"
#include "mes/SoapWritersText.h"
#include "tests/test_soap_streams.h"

namespace {

using CS_QuerySN::IO_UpData_CommonMap;
using CS_QuerySN::IO_UpData_CommonParams;

std::string Escaped(std::u16string_view text, bool quotes = false) {
  std::string out = "[";
  AppendEscapedText(out, text, quotes);
  return out;
}

std::string Base64(std::string_view bytes) {
  std::string out;
  AppendBase64(out, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return out;
}

TEST(SoapEscape, MarkupAndEverythingOutsidePrintableAsciiIsEscaped) {
  const struct {
    std::u16string text;
    bool quotes;
    const char* expected;
  } cases[] = {
      {u"a<b&c>d", false, "[a&lt;b&amp;c&gt;d"},
      {u"say \"hi\" 'x'", false, "[say \"hi\" 'x'"},   // quotes stay unless asked
      {u"\"'", true, "[&quot;&apos;"},
      {u" ~", false, "[ ~"},
      {u"x\r\ny\t", false, "[x&#x000D;&#x000A;y&#x0009;"},
      {u"\u4E2D\u6587", false, "[&#x4E2D;&#x6587;"},
      {u"\u007F\u00E9", false, "[&#x007F;&#x00E9;"},
      {std::u16string(1, u'\0'), false, "[&#x0000;"},
      // A surrogate pair is one code point; unpaired halves stand alone.
      {u"\U0001F600", false, "[&#x01F600;"},
      {u"\U0010FFFF", false, "[&#x10FFFF;"},
      {std::u16string{u'a', char16_t(0xD83D)}, false, "[a&#xD83D;"},
      {std::u16string{char16_t(0xD83D), u'b'}, false, "[&#xD83D;b"},
      {std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, false, "[&#xDE00;&#xD83D;"},
  };
  for (const auto& c : cases) EXPECT_EQ(Escaped(c.text, c.quotes), c.expected);
}

TEST(SoapBase64, PaddingAndSeventySixCharacterLines) {
  const std::string b57(57, 'A');
  std::string line;
  for (int i = 0; i < 19; ++i) line += "QUFB";
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"\x31\x2E", "MS4="}, {"M", "TQ=="}, {"Man", "TWFu"},
      {"\xFB\xFF\xBF", "+/+/"},   // the standard alphabet's last two symbols
      {b57, line + "\r\n"}, {b57 + "A", line + "\r\nQQ=="}, {b57 + "AAA", line + "\r\nQUFB"},
      {b57 + b57, line + "\r\n" + line + "\r\n"}};
  for (const auto& [bytes, expected] : cases) EXPECT_EQ(Base64(bytes), expected) << bytes;
}

// The whole envelope is compared byte for byte in the proxy's tests.
TEST(SoapEnvelope, NullValuesAreNilElementsAndTheIntIsNeverNull) {
  IO_UpData_CommonParams p;  // every text null, every blob pointer null
  p.TempColumn2 = SoapBlob{5, nullptr};
  p.SystemType = -7;
  soaptest::StringSink out;
  CSoapEnvelopeHandler h;
  ASSERT_EQ(h.WriteRequest(&out, IO_UpData_CommonMap(), &p), kSoapOk);
  for (const char* name : {"OrderNo", "SerialNumber", "MacList", "ComponentSnList", "DealResult", "BugType",
                           "BugReason", "TempColumn1", "TempColumn2", "TempColumn3", "WorkStation", "ToolType",
                           "Recorder", "Version"}) {
    EXPECT_NE(out.text.find(std::string("<") + name + " xsi:nil=\"1\"/>"), std::string::npos) << name;
  }
  EXPECT_NE(out.text.find("<SystemType>-7</SystemType>"), std::string::npos);
  EXPECT_EQ(out.text.find("IO_UpData_CommonResult"), std::string::npos);  // "out" entries are not written
  EXPECT_EQ(out.text.find('\n'), std::string::npos);
}

TEST(SoapEnvelope, MissingStreamAndFullStreamFail) {
  IO_UpData_CommonParams p;
  CSoapEnvelopeHandler h;
  EXPECT_EQ(h.WriteRequest(nullptr, IO_UpData_CommonMap(), &p), kSoapFail);
  for (std::size_t limit : {0, 227, 300, 500}) {
    soaptest::StringSink out;
    out.failAfter = limit;
    EXPECT_EQ(h.WriteRequest(&out, IO_UpData_CommonMap(), &p), kSoapOutOfMemory) << limit;
  }
}

TEST(SoapMapTable, NameHashIsTimes33PlusUnit) {
  EXPECT_EQ(SoapNameHash(u"AB"), 65u * 33 + 66);
  const SoapMap& m = IO_UpData_CommonMap();
  for (std::size_t i = 0; i < m.entryCount; ++i) EXPECT_EQ(m.entries[i].hash, SoapNameHash(m.entries[i].wname));
}

}  // namespace
