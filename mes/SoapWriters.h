// Element writers of the SOAP request body. CElementWriter writes one element
// of a map entry; CDocLiteralWriter writes the parameters document/literal,
// each element in the service namespace; CWrappedLiteralWriter puts them in a
// wrapper element named after the operation, which carries the namespace.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "mes/SoapClientError.h"
#include "mes/SoapEnvelopeMap.h"
#include "mes/SoapStreams.h"

namespace mes {

// At least as many bytes as the writers produce for the record's entries of
// the given direction, wrapper included: lets the stream make room once.
std::size_t SoapParametersSizeBound(const SoapMap& map, const void* record, unsigned direction);

class CElementWriter {
 public:
  explicit CElementWriter(ISoapWriteStream& out) : m_out(out) {}
  virtual ~CElementWriter() = default;

  // Writes every entry of the given direction (kSoapIn or kSoapOut), in map order.
  virtual SoapStatus WriteParameters(const SoapMap& map, const void* record, unsigned direction) = 0;

 protected:
  // "<name" [xmlnsAttr] then the value and "</name>", or " xsi:nil=\"1\"/>" for a null value.
  SoapStatus WriteElement(const SoapMapEntry& entry, const void* record, std::string_view xmlnsAttr);
  // Collects bytes in the chunk, handing it to the stream whenever it is full.
  SoapStatus Put(std::string_view bytes);
  // Escapes the text straight into the chunk, a slice at a time, so that a
  // long text is converted in one pass without a copy of its own.
  SoapStatus PutEscaped(std::u16string_view text);
  // Hands the collected bytes to the stream.
  SoapStatus Flush();

 private:
  static constexpr std::size_t kChunkBytes = 16384;

  ISoapWriteStream& m_out;
  std::size_t m_used = 0;
  char m_chunk[kChunkBytes];
};

class CDocLiteralWriter : public CElementWriter {
 public:
  using CElementWriter::CElementWriter;
  SoapStatus WriteParameters(const SoapMap& map, const void* record, unsigned direction) override;

 protected:
  SoapStatus WriteEntries(const SoapMap& map, const void* record, unsigned direction, std::string_view xmlnsAttr);
};

class CWrappedLiteralWriter : public CDocLiteralWriter {
 public:
  using CDocLiteralWriter::CDocLiteralWriter;
  SoapStatus WriteParameters(const SoapMap& map, const void* record, unsigned direction) override;
};

}  // namespace mes
