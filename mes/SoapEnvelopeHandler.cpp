#include "mes/SoapEnvelopeHandler.h"

#include <memory>
#include <new>

#include "mes/SoapEnvelopeValues.h"
#include "mes/SoapWriters.h"

namespace mes {

namespace {

constexpr std::string_view kEnvelopeStart =
    "<soap:Envelope"
    " xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
    " xmlns:soapenc=\"http://schemas.xmlsoap.org/soap/encoding/\">";
constexpr std::string_view kEnvelopeBody = "<soap:Body>";
constexpr std::string_view kEnvelopeEnd = "</soap:Body></soap:Envelope>";

}  // namespace

SoapBool ParseSoapBool(std::u16string_view text) {
  if (text == u"1" || text == u"true") return SoapBool::True;
  if (text == u"0" || text == u"false") return SoapBool::False;
  return SoapBool::Invalid;
}

SoapStatus CSoapEnvelopeHandler::WriteRequest(ISoapWriteStream* out, const SoapMap& map, void* record) {
  if (!out || !record) return kSoapFail;
  try {
    std::unique_ptr<CElementWriter> writer;
    if ((map.callFlags & kSoapDocument) && (map.callFlags & kSoapLiteral)) {
      if (map.callFlags & kSoapParamsWrapped)
        writer = std::make_unique<CWrappedLiteralWriter>(*out);
      else
        writer = std::make_unique<CDocLiteralWriter>(*out);
    } else {
      // rpc and encoded styles are not used by any service this client talks to.
      return kSoapFail;
    }
    out->Reserve(kEnvelopeStart.size() + kEnvelopeBody.size() + kEnvelopeEnd.size() +
                 SoapParametersSizeBound(map, record, WriteDirection()));
    // No header block: none of the operations has header entries.
    if (!out->Write(kEnvelopeStart) || !out->Write(kEnvelopeBody)) return kSoapOutOfMemory;
    if (SoapStatus st = writer->WriteParameters(map, record, WriteDirection()); SoapFailed(st)) return st;
    if (!out->Write(kEnvelopeEnd)) return kSoapOutOfMemory;
    return kSoapOk;
  } catch (const std::bad_alloc&) {
    return kSoapOutOfMemory;
  }
}

void CSoapEnvelopeHandler::PushFirstLevel() {
  m_stack.clear();
  Level level;
  level.record = m_record;
  level.map = m_map;
  level.received.assign(m_map->entryCount, false);
  m_stack.push_back(std::move(level));
}

SoapStatus CSoapEnvelopeHandler::BeginParse(const SoapMap& map, void* record) {
  if (!record) return kSoapFail;
  try {
    m_map = &map;
    m_record = record;
    PushFirstLevel();
    return kSoapOk;
  } catch (const std::bad_alloc&) {
    return kSoapOutOfMemory;
  }
}

SoapStatus CSoapEnvelopeHandler::ParseReply(ISoapReadStream& body, platform::CXmlReader& reader) {
  if (!m_map || !m_record) return kSoapFail;
  m_reader = &reader;
  reader.SetContentHandler(this);
  SoapStatus st = reader.Parse([&body](char* buf, std::size_t n) { return body.Read(buf, n); });
  m_reader = nullptr;
  if (SoapFailed(st)) return st;
  // A reply whose Body held no complete wrapper leaves the first level behind.
  return m_stack.empty() ? kSoapOk : kSoapFail;
}

void CSoapEnvelopeHandler::ClearValue(const SoapMapEntry& entry, void* record) {
  void* slot = entry.field(record);
  switch (entry.type) {
    case kXsdString:
      static_cast<SoapText*>(slot)->reset();
      break;
    case kXsdInt:
      *static_cast<std::int32_t*>(slot) = 0;
      break;
    case kXsdBoolean:
      *static_cast<bool*>(slot) = false;
      break;
    default:
      break;
  }
}

void CSoapEnvelopeHandler::FreeReadValues() {
  if (!m_map || !m_record) return;
  for (std::size_t i = 0; i < m_map->entryCount; ++i) {
    const SoapMapEntry& e = m_map->entries[i];
    if (e.flags & ReadDirection()) ClearValue(e, m_record);
  }
}

void CSoapEnvelopeHandler::Reset() {
  m_stack.clear();
  m_pos = Position::Start;
  m_wrapperDone = false;
  m_entry = nullptr;
  m_inValue = m_inText = m_nil = false;
  m_value.clear();
  m_map = nullptr;
  m_record = nullptr;
}

}  // namespace mes
