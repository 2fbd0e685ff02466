#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "platform/XmlReader.h"

namespace {

std::string Utf8(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// Writes every event as a line, to compare whole event sequences.
class Recorder : public platform::IXmlContentHandler {
 public:
  int32_t StartDocument() override {
    log.push_back("start-doc");
    return 0;
  }
  int32_t EndDocument() override {
    log.push_back("end-doc");
    return 0;
  }
  int32_t StartPrefixMapping(std::u16string_view prefix, std::u16string_view uri) override {
    log.push_back("ns " + Utf8(prefix) + "=" + Utf8(uri));
    return 0;
  }
  int32_t StartElement(std::u16string_view uri, std::u16string_view local, std::u16string_view q,
                       const platform::XmlAttributes& attrs) override {
    std::string s = "<{" + Utf8(uri) + "}" + Utf8(local) + " q=" + Utf8(q);
    for (const auto& a : attrs)
      s += " {" + Utf8(a.uri) + "}" + Utf8(a.localName) + "/" + Utf8(a.qName) + "=" + Utf8(a.value);
    log.push_back(s);
    return failOnStart ? failOnStart : 0;
  }
  int32_t EndElement(std::u16string_view, std::u16string_view local, std::u16string_view) override {
    log.push_back("</" + Utf8(local));
    return 0;
  }
  int32_t Characters(std::u16string_view text) override {
    if (!log.empty() && log.back().rfind("text ", 0) == 0)
      log.back() += Utf8(text);
    else
      log.push_back("text " + Utf8(text));
    return 0;
  }
  std::vector<std::string> log;
  int32_t failOnStart = 0;
};

TEST(XmlReader, ReportsNamespacesNamesAttributesAndText) {
  Recorder r;
  platform::CXmlReader reader;
  reader.SetContentHandler(&r);
  ASSERT_EQ(reader.Parse("<a:root xmlns:a=\"urn:a\" xmlns=\"urn:d\" plain=\"1\" a:q=\"&lt;2\"><child>t&amp;u</child>"
                         "<x:c xmlns:x=\"urn:x\"/></a:root>"),
            0);
  std::vector<std::string> expected = {"start-doc",
                                       "ns a=urn:a",
                                       "ns =urn:d",
                                       "<{urn:a}root q=a:root {}plain/plain=1 {urn:a}q/a:q=<2",
                                       "<{urn:d}child q=child",
                                       "text t&u",
                                       "</child",
                                       "ns x=urn:x",
                                       "<{urn:x}c q=x:c",
                                       "</c",
                                       "</root",
                                       "end-doc"};
  EXPECT_EQ(r.log, expected);
}

TEST(XmlReader, HandlerStatusStopsTheParseAndIsReturned) {
  Recorder r;
  r.failOnStart = static_cast<int32_t>(0x8007000Eu);
  platform::CXmlReader reader;
  reader.SetContentHandler(&r);
  EXPECT_EQ(reader.Parse("<a><b/></a>"), static_cast<int32_t>(0x8007000Eu));
  EXPECT_EQ(r.log.size(), 2u);  // the document start and the first element, nothing after
  EXPECT_FALSE(reader.LastError().empty());

  // Running out of memory inside a handler stops the parse the same way.
  struct Throws : Recorder {
    int32_t Characters(std::u16string_view) override { throw std::bad_alloc(); }
  } t;
  reader.SetContentHandler(&t);
  EXPECT_EQ(reader.Parse("<a>text<b/></a>"), static_cast<int32_t>(0x8007000Eu));
  EXPECT_EQ(t.log.back(), "<{}a q=a");
}

// Handing the rest of a document to another handler is what the SOAP reply
// and fault readers do to skip header entries and collect nested markup;
// their tables show it.

TEST(XmlReader, RefusesDoctypesAndReportsMalformedInput) {
  Recorder r;
  platform::CXmlReader reader;
  reader.SetContentHandler(&r);
  EXPECT_EQ(reader.Parse("<!DOCTYPE a><a/>"), platform::CXmlReader::kMalformed);
  EXPECT_NE(reader.LastError().find("refused"), std::string::npos);
  for (const char* doctype : {"<!DOCTYPE a SYSTEM \"http://127.0.0.1:1/x.dtd\"><a>&ext;</a>",
                              "<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>",
                              "<!DOCTYPE a [<!ENTITY e \"ee\"><!ENTITY f \"&e;&e;&e;\">]><a>&f;</a>"})
    EXPECT_EQ(reader.Parse(doctype), platform::CXmlReader::kMalformed) << doctype;
  EXPECT_EQ(reader.Parse("<a><b></a>"), platform::CXmlReader::kMalformed);
  EXPECT_NE(reader.LastError().find("line 1"), std::string::npos);
  EXPECT_EQ(reader.Parse(""), platform::CXmlReader::kMalformed);
  EXPECT_EQ(reader.Parse(std::string("<a>\x01</a>")), platform::CXmlReader::kMalformed);
  EXPECT_EQ(reader.Parse("<a/>"), 0);
  EXPECT_TRUE(reader.LastError().empty());
}

}  // namespace
