#include "mes/SoapFaultReader.h"

#include <memory>
#include <new>

#include "mes/SoapEnvelopeHandler.h"

namespace mes {

namespace {

struct StandardCode {
  std::u16string_view name;
  int code;
};

constexpr StandardCode kStandardCodes[] = {
    {u"VersionMismatch", kSoapFaultVersionMismatch},
    {u"MustUnderstand", kSoapFaultMustUnderstand},
    {u"Client", kSoapFaultClient},
    {u"Server", kSoapFaultServer},
};

bool IsXmlSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

}  // namespace

SoapStatus CSoapFaultReader::Parse(ISoapReadStream& body, platform::CXmlReader& reader) {
  m_reader = &reader;
  reader.SetContentHandler(this);
  SoapStatus st = reader.Parse([&body](char* buf, std::size_t n) { return body.Read(buf, n); });
  reader.SetContentHandler(nullptr);
  m_reader = nullptr;
  return st;
}

int32_t CSoapFaultReader::StartDocument() {
  m_envPrefix.clear();
  m_envPrefixKnown = false;
  m_level = 0;
  m_sawHeader = false;
  m_fieldStarted = false;
  m_sawCode = false;
  m_field = Field::None;
  return kSoapOk;
}

int32_t CSoapFaultReader::EndDocument() {
  // A document that never reached a Fault with its faultcode is not a fault.
  return m_level == 4 && m_sawCode ? kSoapOk : kSoapFail;
}

int32_t CSoapFaultReader::StartPrefixMapping(std::u16string_view prefix, std::u16string_view uri) {
  if (uri == kSoapEnvelopeNs) {
    try {
      m_envPrefix = prefix;
    } catch (const std::bad_alloc&) {
      return kSoapOutOfMemory;
    }
    m_envPrefixKnown = true;
  }
  return kSoapOk;
}

int32_t CSoapFaultReader::StartElement(std::u16string_view uri, std::u16string_view localName, std::u16string_view,
                                       const platform::XmlAttributes&) {
  int level = 0;
  if (localName == u"Envelope")
    level = 1;
  else if (localName == u"Body" || localName == u"Header")
    level = 2;
  else if (localName == u"Fault")
    level = 4;
  if (level != 0 && uri == kSoapEnvelopeNs) {
    if (localName == u"Header") {
      // A Header may precede the Body; nothing in it belongs to the fault.
      if (m_level != 1 || m_sawHeader) return kSoapFail;
      m_sawHeader = true;
      m_skipper.Begin(*m_reader, *this);
      return kSoapOk;
    }
    if (level <= m_level) return kSoapFail;
    m_level = level;
    return kSoapOk;
  }
  if (level != 0) return kSoapFail;

  Field field = Field::None;
  if (localName == u"faultcode")
    field = Field::Code;
  else if (localName == u"faultstring")
    field = Field::String;
  else if (localName == u"faultactor")
    field = Field::Actor;
  else if (localName == u"detail")
    field = Field::Detail;
  if (field != Field::None) {
    m_fieldStarted = true;
    m_field = field;
    m_collector.Begin(*m_reader, *this);
    return kSoapOk;
  }
  if (!m_fieldStarted) return kSoapFail;
  m_skipper.Begin(*m_reader, *this);
  return kSoapOk;
}

int32_t CSoapFaultReader::Characters(std::u16string_view text) {
  // Only the collector's whole field text matters; stray text is ignored.
  if (m_field == Field::None) return kSoapOk;
  try {
    return StoreField(text);
  } catch (const std::bad_alloc&) {
    return kSoapOutOfMemory;
  }
}

int32_t CSoapFaultReader::EndElement(std::u16string_view, std::u16string_view, std::u16string_view) {
  m_field = Field::None;
  return kSoapOk;
}

int32_t CSoapFaultReader::StoreField(std::u16string_view text) {
  std::u16string* target = nullptr;
  switch (m_field) {
    case Field::Code:
      return StoreCode(text);
    case Field::String:
      target = &m_fault.m_strString;
      break;
    case Field::Actor:
      target = &m_fault.m_strActor;
      break;
    case Field::Detail:
      target = &m_fault.m_strDetail;
      break;
    case Field::None:
      return kSoapOk;
  }
  if (text.empty()) return kSoapOk;
  if (!target->empty()) return kSoapFail;  // a second occurrence with content
  *target = text;
  return kSoapOk;
}

int32_t CSoapFaultReader::StoreCode(std::u16string_view text) {
  if (text.empty()) return kSoapOk;
  if (m_sawCode) return kSoapFail;
  std::size_t i = 0;
  while (i < text.size() && IsXmlSpace(text[i])) ++i;
  text.remove_prefix(i);
  while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
  if (!m_envPrefixKnown) return kSoapFail;
  // The code must be a name in the envelope namespace: prefix ":" local.
  std::u16string_view local;
  if (m_envPrefix.empty()) {
    if (text.find(u':') != std::u16string_view::npos) return kSoapFail;
    local = text;
  } else {
    if (text.size() <= m_envPrefix.size() + 1 || text.substr(0, m_envPrefix.size()) != m_envPrefix ||
        text[m_envPrefix.size()] != u':')
      return kSoapFail;
    local = text.substr(m_envPrefix.size() + 1);
  }
  if (local.empty()) return kSoapFail;
  m_sawCode = true;
  m_fault.m_nCode = kSoapFaultUnknown;
  // Subcodes such as "Client.Authentication" keep their standard class.
  std::u16string_view head = local.substr(0, local.find(u'.'));
  for (const StandardCode& c : kStandardCodes) {
    if (head == c.name) m_fault.m_nCode = c.code;
  }
  m_fault.m_strCode = local;
  return kSoapOk;
}

SoapStatus ParseSoapFault(ISoapReadStream& body, platform::CXmlReader* reader, SoapFault& fault) {
  fault.Clear();
  std::unique_ptr<platform::CXmlReader> own;
  if (!reader) {
    try {
      own = std::make_unique<platform::CXmlReader>();
    } catch (const std::bad_alloc&) {
      return kSoapOutOfMemory;
    }
    reader = own.get();
  }
  CSoapFaultReader faultReader(fault);
  return faultReader.Parse(body, *reader);
}

}  // namespace mes
