// Passes over one element and its whole subtree, then gives the reader back
// to the root handler. The root handler sees neither the content nor the end.
#pragma once

#include <cstddef>

#include "platform/XmlReader.h"

namespace mes {

class CXmlSkipHandler final : public platform::IXmlContentHandler {
 public:
  // Call from the root handler's StartElement of the element to skip.
  void Begin(platform::CXmlReader& reader, platform::IXmlContentHandler& root) {
    m_reader = &reader;
    m_root = &root;
    m_depth = 0;
    reader.SetContentHandler(this);
  }

  int32_t StartElement(std::u16string_view, std::u16string_view, std::u16string_view,
                       const platform::XmlAttributes&) override {
    ++m_depth;
    return 0;
  }
  int32_t EndElement(std::u16string_view, std::u16string_view, std::u16string_view) override {
    if (m_depth > 0) {
      --m_depth;
      return 0;
    }
    m_reader->SetContentHandler(m_root);
    return 0;
  }
  int32_t Characters(std::u16string_view) override { return 0; }

 private:
  platform::CXmlReader* m_reader = nullptr;
  platform::IXmlContentHandler* m_root = nullptr;
  std::size_t m_depth = 0;
};

}  // namespace mes
