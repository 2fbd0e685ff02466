// Element writers of the SOAP request body. CElementWriter writes one element
// of a map entry; CDocLiteralWriter writes the parameters document/literal,
// each element in the service namespace; CWrappedLiteralWriter puts them in a
// wrapper element named after the operation, which carries the namespace.
#pragma once

#include <string>
#include <string_view>

#include "mes/SoapClientError.h"
#include "mes/SoapEnvelopeMap.h"
#include "mes/SoapStreams.h"

class CElementWriter {
 public:
  explicit CElementWriter(ISoapWriteStream& out) : m_out(out) {}
  virtual ~CElementWriter() = default;

  // Writes every entry of the given direction (kSoapIn or kSoapOut), in map order.
  virtual SoapStatus WriteParameters(const SoapMap& map, const void* record, unsigned direction) = 0;

 protected:
  // "<name" [xmlnsAttr] then the value and "</name>", or " xsi:nil=\"1\"/>" for a null value.
  SoapStatus WriteElement(const SoapMapEntry& entry, const void* record, std::string_view xmlnsAttr);
  SoapStatus Put(std::string_view bytes);

 private:
  ISoapWriteStream& m_out;
  std::string m_piece;  // one element at a time, reused
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
