// Reads a SOAP 1.1 Fault from a reply body into a SoapFault record.
#pragma once

#include <string>

#include "mes/SoapClientError.h"
#include "mes/SoapFault.h"
#include "mes/SoapStreams.h"
#include "mes/XmlSkipHandler.h"
#include "mes/XmlTextCollector.h"
#include "platform/XmlReader.h"

namespace mes {

class CSoapFaultReader final : public platform::IXmlContentHandler {
 public:
  explicit CSoapFaultReader(SoapFault& fault) : m_fault(fault) {}

  // Parses the body; the reader is left without a content handler.
  SoapStatus Parse(ISoapReadStream& body, platform::CXmlReader& reader);

  int32_t StartDocument() override;
  int32_t EndDocument() override;
  int32_t StartPrefixMapping(std::u16string_view prefix, std::u16string_view uri) override;
  int32_t StartElement(std::u16string_view uri, std::u16string_view localName, std::u16string_view qName,
                       const platform::XmlAttributes& attributes) override;
  int32_t EndElement(std::u16string_view uri, std::u16string_view localName, std::u16string_view qName) override;
  int32_t Characters(std::u16string_view text) override;

 private:
  enum class Field { None, Code, String, Actor, Detail };
  int32_t StoreField(std::u16string_view text);
  int32_t StoreCode(std::u16string_view text);

  SoapFault& m_fault;
  platform::CXmlReader* m_reader = nullptr;
  CXmlTextCollector m_collector;
  CXmlSkipHandler m_skipper;
  std::u16string m_envPrefix;
  bool m_envPrefixKnown = false;
  int m_level = 0;  // 1 Envelope, 2 Body, 4 Fault
  bool m_sawHeader = false;
  bool m_fieldStarted = false;
  bool m_sawCode = false;
  Field m_field = Field::None;  // the field whose text the collector is gathering
};

// Clears the record and reads the body as a SOAP Fault with the reader, or
// with a new one when none is given. Returns the reader's status.
SoapStatus ParseSoapFault(ISoapReadStream& body, platform::CXmlReader* reader, SoapFault& fault);

}  // namespace mes
