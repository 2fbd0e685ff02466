// The reply side of CSoapEnvelopeHandler: the content-handler events that
// walk the response envelope and store the reply wrapper's values.
#include <charconv>
#include <cstdint>
#include <limits>
#include <new>

#include "mes/SoapEnvelopeHandler.h"
#include "mes/SoapEnvelopeValues.h"

namespace mes {

namespace {

bool IsXmlSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string_view TrimXmlSpace(std::u16string_view s) {
  while (!s.empty() && IsXmlSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsXmlSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool ParseInt32(std::u16string_view text, std::int32_t& out) {
  text = TrimXmlSpace(text);
  std::string ascii;
  for (char16_t c : text) {
    if (c > 0x7F) return false;
    ascii.push_back(static_cast<char>(c));
  }
  std::string_view s(ascii);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  std::int32_t v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
  out = v;
  return true;
}

bool IsTextType(int type) {
  return type == kXsdString;
}
bool IsScalarType(int type) {
  return type == kXsdInt || type == kXsdBoolean;
}

}  // namespace

int32_t CSoapEnvelopeHandler::StartDocument() {
  m_pos = Position::Start;
  m_wrapperDone = false;
  m_entry = nullptr;
  m_inValue = m_inText = m_nil = false;
  m_value.clear();
  return kSoapOk;
}

int32_t CSoapEnvelopeHandler::StartEnvelopeLevel(std::u16string_view uri, std::u16string_view localName) {
  if (uri != kSoapEnvelopeNs) return kSoapFail;
  if (localName == u"Envelope") {
    if (m_pos != Position::Start) return kSoapFail;
    m_pos = Position::InEnvelope;
  } else if (localName == u"Header") {
    if (m_pos != Position::InEnvelope) return kSoapFail;
    m_pos = Position::InHeader;
  } else if (localName == u"Body") {
    if (m_pos != Position::InEnvelope && m_pos != Position::AfterHeader) return kSoapFail;
    m_pos = Position::InBody;
  } else {
    // Other names of the envelope namespace carry nothing for us.
    m_skipper.Begin(*m_reader, *this);
  }
  return kSoapOk;
}

int32_t CSoapEnvelopeHandler::StartHeaderEntry(const platform::XmlAttributes& attributes) {
  // No operation of this client reads header values, so every entry is
  // unknown: it may be skipped unless the sender insists it be understood.
  if (const platform::XmlAttribute* mu = attributes.Find(kSoapEnvelopeNs, u"mustUnderstand")) {
    if (ParseSoapBool(mu->value) != SoapBool::False) return kSoapFail;
  }
  m_skipper.Begin(*m_reader, *this);
  return kSoapOk;
}

int32_t CSoapEnvelopeHandler::StartValue(std::u16string_view localName, const platform::XmlAttributes& attributes) {
  Level& level = m_stack.back();
  const SoapMap& map = *level.map;
  std::uint32_t h = SoapNameHash(localName);
  const SoapMapEntry* entry = nullptr;
  std::size_t index = 0;
  for (; index < map.entryCount; ++index) {
    const SoapMapEntry& e = map.entries[index];
    if (e.hash == h && (e.flags & ReadDirection()) && e.wname == localName) {
      entry = &e;
      break;
    }
  }
  if (!entry || level.received[index]) return kSoapFail;
  level.received[index] = true;
  ++level.receivedCount;
  m_entry = entry;
  m_value.clear();

  if (const platform::XmlAttribute* nil = attributes.Find(kXsiNs, u"nil")) {
    if (ParseSoapBool(nil->value) == SoapBool::True) {
      if (!(entry->flags & kSoapNullable)) return kSoapFail;
      m_nil = true;
      m_inValue = true;
      return kSoapOk;
    }
  }
  if (IsTextType(entry->type)) {
    m_inText = true;
    m_collector.Begin(*m_reader, *this);
    return kSoapOk;
  }
  if (IsScalarType(entry->type)) {
    m_inValue = true;
    return kSoapOk;
  }
  // Structures, arrays and binary results are not part of any reply this
  // client reads; refuse rather than drop them.
  return kSoapFail;
}

int32_t CSoapEnvelopeHandler::StartElement(std::u16string_view uri, std::u16string_view localName, std::u16string_view,
                                           const platform::XmlAttributes& attributes) {
  try {
    if (m_inValue) return kSoapFail;
    switch (m_pos) {
      case Position::Start:
      case Position::InEnvelope:
      case Position::AfterHeader:
        return StartEnvelopeLevel(uri, localName);
      case Position::InHeader:
        return StartHeaderEntry(attributes);
      case Position::InBody:
        if (m_wrapperDone || !m_map) return kSoapFail;
        // The first child of the Body is the reply wrapper, whatever its name.
        m_map->clearRecord(m_record);
        PushFirstLevel();
        m_pos = Position::InWrapper;
        return kSoapOk;
      case Position::InWrapper:
        return StartValue(localName, attributes);
      case Position::AfterBody:
        // Nothing may follow the Body: a second Body or a late Header is malformed.
        return kSoapFail;
    }
    return kSoapFail;
  } catch (const std::bad_alloc&) {
    return kSoapOutOfMemory;
  }
}

int32_t CSoapEnvelopeHandler::Characters(std::u16string_view text) {
  if ((m_inText || m_inValue) && !m_nil) {
    try {
      m_value += text;
    } catch (const std::bad_alloc&) {
      return kSoapOutOfMemory;
    }
  }
  return kSoapOk;
}

int32_t CSoapEnvelopeHandler::EndValue() {
  const SoapMapEntry& e = *m_entry;
  void* slot = e.field(m_stack.back().record);
  bool nil = m_nil;
  m_inText = m_inValue = m_nil = false;
  m_entry = nullptr;
  if (nil) return kSoapOk;
  switch (e.type) {
    case kXsdString:
      // An empty element gives an empty text, not a null one.
      *static_cast<SoapText*>(slot) = std::u16string(m_value);
      return kSoapOk;
    case kXsdInt:
      return ParseInt32(m_value, *static_cast<std::int32_t*>(slot)) ? kSoapOk : kSoapFail;
    case kXsdBoolean: {
      SoapBool b = ParseSoapBool(TrimXmlSpace(m_value));
      if (b == SoapBool::Invalid) return kSoapFail;
      *static_cast<bool*>(slot) = b == SoapBool::True;
      return kSoapOk;
    }
    default:
      return kSoapFail;
  }
}

int32_t CSoapEnvelopeHandler::EndWrapper() {
  const Level& level = m_stack.back();
  for (std::size_t i = 0; i < level.map->entryCount; ++i) {
    const SoapMapEntry& e = level.map->entries[i];
    if (!(e.flags & ReadDirection()) || level.received[i]) continue;
    if (!(e.flags & (kSoapNullable | kSoapNoMarshal))) return kSoapFail;
  }
  m_stack.pop_back();
  m_wrapperDone = true;
  m_pos = Position::InBody;
  return kSoapOk;
}

int32_t CSoapEnvelopeHandler::EndElement(std::u16string_view, std::u16string_view, std::u16string_view) {
  try {
    if (m_inText || m_inValue) return EndValue();
    switch (m_pos) {
      case Position::InWrapper:
        return EndWrapper();
      case Position::InHeader:
        m_pos = Position::AfterHeader;
        break;
      case Position::InBody:
        m_pos = Position::AfterBody;
        break;
      default:
        break;
    }
    return kSoapOk;
  } catch (const std::bad_alloc&) {
    return kSoapOutOfMemory;
  }
}

}  // namespace mes
