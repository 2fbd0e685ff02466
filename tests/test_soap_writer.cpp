#include <gtest/gtest.h>

#include <string>

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

const char kEnvelopeStart[] =
    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:soapenc=\"http://schemas.xmlsoap.org/soap/encoding/\">";

TEST(SoapEscape, MarkupCharactersBecomeEntitiesQuotesStayUnlessAsked) {
  EXPECT_EQ(Escaped(u"a<b&c>d"), "[a&lt;b&amp;c&gt;d");
  EXPECT_EQ(Escaped(u"say \"hi\" 'x'"), "[say \"hi\" 'x'");
  EXPECT_EQ(Escaped(u"\"'", true), "[&quot;&apos;");
  EXPECT_EQ(Escaped(u" ~"), "[ ~");
}

TEST(SoapEscape, EverythingOutsidePrintableAsciiIsACharacterReference) {
  EXPECT_EQ(Escaped(u"x\r\ny\t"), "[x&#x000D;&#x000A;y&#x0009;");
  EXPECT_EQ(Escaped(u"\u4E2D\u6587"), "[&#x4E2D;&#x6587;");
  EXPECT_EQ(Escaped(u"\u007F\u00E9"), "[&#x007F;&#x00E9;");
  EXPECT_EQ(Escaped(std::u16string(1, u'\0')), "[&#x0000;");
}

TEST(SoapEscape, SurrogatePairsAreOneCodePointUnpairedHalvesStandAlone) {
  EXPECT_EQ(Escaped(u"\U0001F600"), "[&#x01F600;");
  EXPECT_EQ(Escaped(u"\U0010FFFF"), "[&#x10FFFF;");
  EXPECT_EQ(Escaped(std::u16string{u'a', char16_t(0xD83D)}), "[a&#xD83D;");
  EXPECT_EQ(Escaped(std::u16string{char16_t(0xD83D), u'b'}), "[&#xD83D;b");
  EXPECT_EQ(Escaped(std::u16string{char16_t(0xDE00), char16_t(0xD83D)}), "[&#xDE00;&#xD83D;");
}

TEST(SoapBase64, PaddingAndSeventySixCharacterLines) {
  EXPECT_EQ(Base64(""), "");
  EXPECT_EQ(Base64("\x31\x2E"), "MS4=");
  EXPECT_EQ(Base64("M"), "TQ==");
  EXPECT_EQ(Base64("Man"), "TWFu");
  std::string b57(57, 'A');
  std::string expected76;
  for (int i = 0; i < 19; ++i) expected76 += "QUFB";
  EXPECT_EQ(Base64(b57), expected76 + "\r\n");
  EXPECT_EQ(Base64(b57 + "A"), expected76 + "\r\nQQ==");
  EXPECT_EQ(Base64(b57 + "AAA"), expected76 + "\r\nQUFB");
  EXPECT_EQ(Base64(b57 + b57), expected76 + "\r\n" + expected76 + "\r\n");
  // Every byte value survives, with the standard alphabet's last two symbols.
  EXPECT_EQ(Base64("\xFB\xFF\xBF"), "+/+/");
}

TEST(SoapInt, PlainDecimal) {
  std::string s;
  AppendInt(s, 0);
  s += ',';
  AppendInt(s, -2147483648LL);
  s += ',';
  AppendInt(s, 2147483647);
  EXPECT_EQ(s, "0,-2147483648,2147483647");
}

IO_UpData_CommonParams ExampleParams(const unsigned char* blob) {
  IO_UpData_CommonParams p;
  p.OrderNo = u"ABC1234";
  p.SerialNumber = u"ABC1234567";
  p.MacList = u"00:11:22:33:44:55";
  p.DealResult = u"PASS";
  p.BugType = u"";
  p.BugReason = u"";
  p.TempColumn1 = p.TempColumn2 = p.TempColumn3 = SoapBlob{2, blob};
  p.WorkStation = u"ST1";
  p.ToolType = u"ATE";
  p.Recorder = u"op";
  p.SystemType = 0;
  p.Version = u"V1.0";
  return p;
}

TEST(SoapEnvelope, RequestIsWrittenByteForByte) {
  EXPECT_EQ(std::string(kEnvelopeStart).size(), 227u);
  static const unsigned char blob[] = {0x31, 0x2E};
  IO_UpData_CommonParams p = ExampleParams(blob);
  soaptest::StringSink out;
  CSoapEnvelopeHandler h;
  ASSERT_EQ(h.WriteRequest(&out, IO_UpData_CommonMap(), &p), kSoapOk);
  EXPECT_EQ(out.text,
            std::string(kEnvelopeStart) +
                "<soap:Body><IO_UpData_Common xmlns=\"RO_dErodo\"><OrderNo>ABC1234</OrderNo>"
                "<SerialNumber>ABC1234567</SerialNumber><MacList>00:11:22:33:44:55</MacList>"
                "<ComponentSnList xsi:nil=\"1\"/><DealResult>PASS</DealResult><BugType></BugType>"
                "<BugReason></BugReason><TempColumn1>MS4=</TempColumn1><TempColumn2>MS4=</TempColumn2>"
                "<TempColumn3>MS4=</TempColumn3><WorkStation>ST1</WorkStation><ToolType>ATE</ToolType>"
                "<Recorder>op</Recorder><SystemType>0</SystemType><Version>V1.0</Version>"
                "</IO_UpData_Common></soap:Body></soap:Envelope>");
}

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

TEST(SoapEnvelope, ChineseTextStaysAsciiOnTheWire) {
  IO_UpData_CommonParams p;
  p.BugReason = u"\u4E2D<\r";
  soaptest::StringSink out;
  CSoapEnvelopeHandler h;
  ASSERT_EQ(h.WriteRequest(&out, IO_UpData_CommonMap(), &p), kSoapOk);
  EXPECT_NE(out.text.find("<BugReason>&#x4E2D;&lt;&#x000D;</BugReason>"), std::string::npos);
  for (unsigned char c : out.text) EXPECT_LT(c, 0x80);
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
  EXPECT_EQ(SoapNameHash(u""), 0u);
  EXPECT_EQ(SoapNameHash(u"A"), 65u);
  EXPECT_EQ(SoapNameHash(u"AB"), 65u * 33 + 66);
  const SoapMap& m = IO_UpData_CommonMap();
  for (std::size_t i = 0; i < m.entryCount; ++i) EXPECT_EQ(m.entries[i].hash, SoapNameHash(m.entries[i].wname));
}

}  // namespace
