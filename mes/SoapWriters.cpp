#include "mes/SoapWriters.h"

#include <cstdint>
#include <new>

#include "mes/SoapEnvelopeValues.h"
#include "mes/SoapWritersText.h"

namespace {

std::string XmlnsAttr(const SoapMap& map) {
  std::string a = " xmlns=\"";
  a += map.ns;
  a += '"';
  return a;
}

}  // namespace

SoapStatus CElementWriter::Put(std::string_view bytes) {
  return m_out.Write(bytes) ? kSoapOk : kSoapOutOfMemory;
}

SoapStatus CElementWriter::WriteElement(const SoapMapEntry& entry, const void* record, std::string_view xmlnsAttr) {
  void* slot = entry.field(const_cast<void*>(record));
  std::string& s = m_piece;
  s.clear();
  s += '<';
  s += entry.name;
  s += xmlnsAttr;
  bool isNull = false;
  switch (entry.type) {
    case kXsdString: {
      const SoapText& text = *static_cast<const SoapText*>(slot);
      if (!text) {
        isNull = true;
        break;
      }
      s += '>';
      AppendEscapedText(s, *text);
      break;
    }
    case kXsdBase64Binary: {
      const SoapBlob& blob = *static_cast<const SoapBlob*>(slot);
      if (!blob.data) {
        isNull = true;
        break;
      }
      s += '>';
      AppendBase64(s, blob.data, blob.size);
      break;
    }
    case kXsdInt:
      s += '>';
      AppendInt(s, *static_cast<const std::int32_t*>(slot));
      break;
    case kXsdBoolean:
      s += '>';
      s += *static_cast<const bool*>(slot) ? "true" : "false";
      break;
    default:
      // This service's operations use only the types above.
      return kSoapFail;
  }
  if (isNull) {
    s += " xsi:nil=\"1\"/>";
  } else {
    s += "</";
    s += entry.name;
    s += '>';
  }
  return Put(s);
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
  return WriteEntries(map, record, direction, XmlnsAttr(map));
}

SoapStatus CWrappedLiteralWriter::WriteParameters(const SoapMap& map, const void* record, unsigned direction) {
  std::string start = "<";
  start += map.name;
  start += XmlnsAttr(map);
  start += '>';
  if (SoapStatus st = Put(start); SoapFailed(st)) return st;
  if (SoapStatus st = WriteEntries(map, record, direction, {}); SoapFailed(st)) return st;
  std::string end = "</";
  end += map.name;
  end += '>';
  return Put(end);
}
