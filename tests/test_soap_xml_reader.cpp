// The XML reader under the SOAP reply and fault readers (whose tables show
// namespaces, attributes, text and handing a subtree to another handler):
// here what stops a parse.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "platform/XmlReader.h"

namespace {

struct Counter : platform::IXmlContentHandler {
  int32_t StartElement(std::u16string_view, std::u16string_view, std::u16string_view,
                       const platform::XmlAttributes&) override {
    ++elements;
    return failOnStart;
  }
  int32_t EndElement(std::u16string_view, std::u16string_view, std::u16string_view) override { return 0; }
  int32_t Characters(std::u16string_view) override {
    if (throwOnText) throw std::bad_alloc();
    return 0;
  }
  int elements = 0;
  int32_t failOnStart = 0;
  bool throwOnText = false;
};

TEST(XmlReader, HandlerStatusOrRunningOutOfMemoryStopsTheParseAndIsReturned) {
  const int32_t kOutOfMemory = static_cast<int32_t>(0x8007000Eu);
  Counter failing, throwing;
  failing.failOnStart = kOutOfMemory;
  throwing.throwOnText = true;  // a handler running out of memory
  platform::CXmlReader reader;
  reader.SetContentHandler(&failing);
  EXPECT_EQ(reader.Parse("<a><b/></a>"), kOutOfMemory);
  EXPECT_EQ(failing.elements, 1);  // nothing after the first element
  EXPECT_FALSE(reader.LastError().empty());
  reader.SetContentHandler(&throwing);
  EXPECT_EQ(reader.Parse("<a>text<b/></a>"), kOutOfMemory);
  EXPECT_EQ(throwing.elements, 1);
}

TEST(XmlReader, RefusesDoctypesAndReportsMalformedInput) {
  Counter c;
  platform::CXmlReader reader;
  reader.SetContentHandler(&c);
  for (const char* doc : {"<!DOCTYPE a><a/>", "<!DOCTYPE a SYSTEM \"http://127.0.0.1:1/x.dtd\"><a>&ext;</a>",
                          "<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>",
                          "<!DOCTYPE a [<!ENTITY e \"ee\"><!ENTITY f \"&e;&e;&e;\">]><a>&f;</a>"})
    EXPECT_EQ(reader.Parse(doc), platform::CXmlReader::kMalformed) << doc;
  EXPECT_EQ(c.elements, 0);  // refused before any element
  for (const char* doc : {"<a><b></a>", "", "<a>\x01</a>"})
    EXPECT_EQ(reader.Parse(doc), platform::CXmlReader::kMalformed) << doc;
  reader.Parse("<!DOCTYPE a><a/>");
  EXPECT_NE(reader.LastError().find("refused"), std::string::npos) << reader.LastError();
  EXPECT_EQ(reader.Parse("<a/>"), 0);
  EXPECT_TRUE(reader.LastError().empty());
}

}  // namespace
