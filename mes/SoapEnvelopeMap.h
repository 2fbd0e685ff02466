// Table description of a SOAP operation: which elements it has, their types,
// directions and where each value lives in the operation's parameter record.
// One envelope writer and one reply handler work from these tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mes {

// XML Schema built-in types, numbered in this fixed order.
enum SoapTypeCode : int {
  kXsdStruct = -1,  // a structure described by a further map
  kXsdString = 0,
  kXsdBoolean,
  kXsdFloat,
  kXsdDouble,
  kXsdDecimal,
  kXsdDuration,
  kXsdHexBinary,
  kXsdBase64Binary,
  kXsdAnyURI,
  kXsdID,
  kXsdIDREF,
  kXsdENTITY,
  kXsdNOTATION,
  kXsdQName,
  kXsdNormalizedString,
  kXsdToken,
  kXsdLanguage,
  kXsdIDREFS,
  kXsdENTITIES,
  kXsdNMTOKEN,
  kXsdNMTOKENS,
  kXsdName,
  kXsdNCName,
  kXsdInteger,
  kXsdNonPositiveInteger,
  kXsdNegativeInteger,
  kXsdLong,
  kXsdInt,
  kXsdShort,
  kXsdByte,
  kXsdNonNegativeInteger,
  kXsdUnsignedLong,
  kXsdUnsignedInt,
  kXsdUnsignedShort,
  kXsdUnsignedByte,
  kXsdPositiveInteger,
  kXsdDateTime,
  kXsdTime,
  kXsdDate,
  kXsdGMonth,
  kXsdGYearMonth,
  kXsdGYear,
  kXsdGMonthDay,
  kXsdGDay,
};

enum SoapEntryFlags : unsigned {
  kSoapIn = 0x1,
  kSoapOut = 0x2,
  kSoapRetVal = 0x4,
  kSoapDynArray = 0x8,
  kSoapFixedArray = 0x10,
  kSoapMustUnderstand = 0x20,
  kSoapNullable = 0x40,
  kSoapNoMarshal = 0x80,
};

enum SoapMapKind : int { kSoapFunctionMap, kSoapHeaderMap, kSoapStructMap, kSoapEnumMap };

enum SoapCallFlags : unsigned {
  kSoapRpc = 0x1,
  kSoapDocument = 0x2,
  kSoapEncoded = 0x4,
  kSoapLiteral = 0x8,
  kSoapParamsWrapped = 0x10,  // parameters inside an element named after the operation
};

// Name hash: h = h * 33 + unit over the UTF-16 code units, 32-bit wrap-around.
constexpr std::uint32_t SoapNameHash(std::u16string_view name) {
  std::uint32_t h = 0;
  for (char16_t c : name) h = h * 33u + c;
  return h;
}

struct SoapMap;

struct SoapMapEntry {
  std::uint32_t hash;
  std::string_view name;      // 8-bit, written in requests
  std::u16string_view wname;  // compared with reply element names
  int type;                   // SoapTypeCode
  unsigned flags;             // SoapEntryFlags
  // The value's place in a record of the map's type.
  void* (*field)(void* record);
  const SoapMap* nested = nullptr;  // for kXsdStruct
};

struct SoapMap {
  std::uint32_t hash;
  std::string_view name;      // request element
  std::u16string_view wname;  // reply element
  int kind;                   // SoapMapKind
  const SoapMapEntry* entries;
  std::size_t entryCount;
  std::size_t recordSize;
  unsigned callFlags;  // SoapCallFlags
  std::string_view ns;
  std::u16string_view wns;
  std::uint32_t nsHash;
  void (*clearRecord)(void* record);  // back to the zero state
};

}  // namespace mes
