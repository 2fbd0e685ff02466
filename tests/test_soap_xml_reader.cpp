// The XML reader under the SOAP reply and fault readers (whose tables show
// namespaces, attributes, text, handing a subtree to another handler and a
// handler's status stopping the parse): here the documents it refuses.
#include <gtest/gtest.h>

#include <string>

#include "platform/XmlReader.h"

namespace {

struct Counter : platform::IXmlContentHandler {
  int32_t StartElement(std::u16string_view, std::u16string_view, std::u16string_view,
                       const platform::XmlAttributes&) override {
    return ++elements, 0;
  }
  int32_t EndElement(std::u16string_view, std::u16string_view, std::u16string_view) override { return 0; }
  int32_t Characters(std::u16string_view) override { return 0; }
  int elements = 0;
};

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
