#include "mes/XmlTextCollector.h"

namespace mes {

void CXmlTextCollector::Begin(platform::CXmlReader& reader, platform::IXmlContentHandler& root) {
  m_reader = &reader;
  m_root = &root;
  m_text.clear();
  m_depth = 0;
  reader.SetContentHandler(this);
}

int32_t CXmlTextCollector::StartElement(std::u16string_view, std::u16string_view, std::u16string_view qName,
                                        const platform::XmlAttributes& attributes) {
  m_text += u'<';
  m_text += qName;
  for (const platform::XmlAttribute& a : attributes) {
    m_text += u' ';
    m_text += a.qName;
    m_text += u"=\"";
    m_text += a.value;
    m_text += u'"';
  }
  m_text += u'>';
  ++m_depth;
  return 0;
}

int32_t CXmlTextCollector::EndElement(std::u16string_view uri, std::u16string_view localName,
                                      std::u16string_view qName) {
  if (m_depth > 0) {
    --m_depth;
    m_text += u"</";
    m_text += qName;
    m_text += u'>';
    return 0;
  }
  platform::IXmlContentHandler* root = m_root;
  m_reader->SetContentHandler(root);
  m_reader = nullptr;
  m_root = nullptr;
  std::u16string text = std::move(m_text);
  m_text.clear();
  if (int32_t st = root->Characters(text); st < 0) return st;
  return root->EndElement(uri, localName, qName);
}

int32_t CXmlTextCollector::Characters(std::u16string_view text) {
  m_text += text;
  return 0;
}

}  // namespace mes
