// Collects the whole content of one element as text, for string values and
// fault fields. Nested markup is copied into the text ("<q a=\"v\">", "</q>");
// character data is appended as delivered. At the element's own end the text
// goes to the root handler as one piece of character data, then the end
// itself, and the root handler becomes the reader's content handler again.
#pragma once

#include <string>

#include "platform/XmlReader.h"

namespace mes {

class CXmlTextCollector final : public platform::IXmlContentHandler {
 public:
  // Call from the root handler's StartElement of the element to collect.
  void Begin(platform::CXmlReader& reader, platform::IXmlContentHandler& root);

  int32_t StartElement(std::u16string_view uri, std::u16string_view localName, std::u16string_view qName,
                       const platform::XmlAttributes& attributes) override;
  int32_t EndElement(std::u16string_view uri, std::u16string_view localName, std::u16string_view qName) override;
  int32_t Characters(std::u16string_view text) override;

 private:
  platform::CXmlReader* m_reader = nullptr;
  platform::IXmlContentHandler* m_root = nullptr;
  std::u16string m_text;
  std::size_t m_depth = 0;
};

}  // namespace mes
