#include "mes/SoapWriters.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "mes/SoapEnvelopeValues.h"
#include "mes/SoapWritersText.h"

namespace mes {

namespace {

std::string XmlnsAttr(const SoapMap& map) {
  std::string a = " xmlns=\"";
  a += map.ns;
  a += '"';
  return a;
}

constexpr std::size_t kNilTail = sizeof(" xsi:nil=\"1\"/>") - 1;
constexpr std::size_t kXmlnsFrame = sizeof(" xmlns=\"\"") - 1;

}  // namespace

std::size_t SoapParametersSizeBound(const SoapMap& map, const void* record, unsigned direction) {
  const std::size_t xmlns = kXmlnsFrame + map.ns.size();
  std::size_t bound = 2 * map.name.size() + xmlns + 5;  // the wrapper's tags
  for (std::size_t i = 0; i < map.entryCount; ++i) {
    const SoapMapEntry& e = map.entries[i];
    if (!(e.flags & direction) || (e.flags & kSoapNoMarshal)) continue;
    bound += 2 * e.name.size() + xmlns + 5 + kNilTail;
    const void* slot = e.field(const_cast<void*>(record));
    if (e.type == kXsdString) {
      const SoapText& text = *static_cast<const SoapText*>(slot);
      if (text) bound += text->size() * kMaxEscapedBytesPerUnit;
    } else if (e.type == kXsdBase64Binary) {
      const SoapBlob& blob = *static_cast<const SoapBlob*>(slot);
      if (blob.data) bound += Base64Length(blob.size);
    } else {
      bound += 24;  // an integer or a boolean
    }
  }
  return bound;
}

SoapStatus CElementWriter::Flush() {
  if (m_used == 0) return kSoapOk;
  const bool ok = m_out.Write(m_chunk, m_used);
  m_used = 0;
  return ok ? kSoapOk : kSoapOutOfMemory;
}

SoapStatus CElementWriter::Put(std::string_view bytes) {
  if (bytes.empty()) return kSoapOk;
  if (bytes.size() > kChunkBytes - m_used) {
    if (SoapStatus st = Flush(); SoapFailed(st)) return st;
    if (bytes.size() > kChunkBytes) return m_out.Write(bytes) ? kSoapOk : kSoapOutOfMemory;
  }
  std::memcpy(m_chunk + m_used, bytes.data(), bytes.size());
  m_used += bytes.size();
  return kSoapOk;
}

SoapStatus CElementWriter::PutEscaped(std::u16string_view text) {
  while (!text.empty()) {
    std::size_t units = (kChunkBytes - m_used) / kMaxEscapedBytesPerUnit;
    if (units < 2) {
      if (SoapStatus st = Flush(); SoapFailed(st)) return st;
      continue;
    }
    if (units < text.size()) {
      // A surrogate pair is one character: never split it between slices.
      const char16_t last = text[units - 1];
      if (last >= 0xD800 && last <= 0xDBFF) --units;
    } else {
      units = text.size();
    }
    char* end = EscapeTextTo(m_chunk + m_used, text.substr(0, units));
    m_used = static_cast<std::size_t>(end - m_chunk);
    text.remove_prefix(units);
  }
  return kSoapOk;
}

SoapStatus CElementWriter::WriteElement(const SoapMapEntry& entry, const void* record, std::string_view xmlnsAttr) {
  void* slot = entry.field(const_cast<void*>(record));
  std::string value;  // a Base64, integer or boolean form
  bool isNull = false;
  const SoapText* text = nullptr;
  switch (entry.type) {
    case kXsdString:
      text = static_cast<const SoapText*>(slot);
      isNull = !*text;
      break;
    case kXsdBase64Binary: {
      const SoapBlob& blob = *static_cast<const SoapBlob*>(slot);
      isNull = !blob.data;
      if (!isNull) AppendBase64(value, blob.data, blob.size);
      break;
    }
    case kXsdInt:
      AppendInt(value, *static_cast<const std::int32_t*>(slot));
      break;
    case kXsdBoolean:
      value = *static_cast<const bool*>(slot) ? "true" : "false";
      break;
    default:
      // This service's operations use only the types above.
      return kSoapFail;
  }
  SoapStatus st = Put("<");
  if (SoapSucceeded(st)) st = Put(entry.name);
  if (SoapSucceeded(st)) st = Put(xmlnsAttr);
  if (SoapFailed(st)) return st;
  if (isNull) return Put(" xsi:nil=\"1\"/>");
  st = Put(">");
  if (SoapSucceeded(st)) st = text ? PutEscaped(**text) : Put(value);
  if (SoapSucceeded(st)) st = Put("</");
  if (SoapSucceeded(st)) st = Put(entry.name);
  if (SoapSucceeded(st)) st = Put(">");
  return st;
}

SoapStatus CDocLiteralWriter::WriteEntries(const SoapMap& map, const void* record, unsigned direction,
                                           std::string_view xmlnsAttr) {
  for (std::size_t i = 0; i < map.entryCount; ++i) {
    const SoapMapEntry& e = map.entries[i];
    if (!(e.flags & direction) || (e.flags & kSoapNoMarshal)) continue;
    if (SoapStatus st = WriteElement(e, record, xmlnsAttr); SoapFailed(st)) return st;
  }
  return kSoapOk;
}

SoapStatus CDocLiteralWriter::WriteParameters(const SoapMap& map, const void* record, unsigned direction) {
  if (SoapStatus st = WriteEntries(map, record, direction, XmlnsAttr(map)); SoapFailed(st)) return st;
  return Flush();
}

SoapStatus CWrappedLiteralWriter::WriteParameters(const SoapMap& map, const void* record, unsigned direction) {
  SoapStatus st = Put("<");
  if (SoapSucceeded(st)) st = Put(map.name);
  if (SoapSucceeded(st)) st = Put(XmlnsAttr(map));
  if (SoapSucceeded(st)) st = Put(">");
  if (SoapSucceeded(st)) st = WriteEntries(map, record, direction, {});
  if (SoapSucceeded(st)) st = Put("</");
  if (SoapSucceeded(st)) st = Put(map.name);
  if (SoapSucceeded(st)) st = Put(">");
  if (SoapSucceeded(st)) st = Flush();
  return st;
}

}  // namespace mes
