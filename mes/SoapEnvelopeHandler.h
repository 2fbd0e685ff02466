// Writes an operation's request envelope from its parameter record and reads
// the reply envelope back into the record, both driven by the operation's map.
// As the reader's content handler it follows the envelope (Envelope, Header,
// Body, reply wrapper) and stores the wrapper's children in the record.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "mes/SoapClientError.h"
#include "mes/SoapEnvelopeMap.h"
#include "mes/SoapStreams.h"
#include "mes/XmlSkipHandler.h"
#include "mes/XmlTextCollector.h"
#include "platform/XmlReader.h"

namespace mes {

inline constexpr std::u16string_view kSoapEnvelopeNs = u"http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr std::u16string_view kXsiNs = u"http://www.w3.org/2001/XMLSchema-instance";

// Exactly "1"/"true" is true, "0"/"false" false; anything else is invalid.
enum class SoapBool { False, True, Invalid };
SoapBool ParseSoapBool(std::u16string_view text);

class CSoapEnvelopeHandler final : public platform::IXmlContentHandler {
 public:
  // A client writes the "in" entries and reads the "out" ones; a server the reverse.
  void SetClient(bool client) { m_bClient = client; }

  // Writes the whole request envelope for the record.
  SoapStatus WriteRequest(ISoapWriteStream* out, const SoapMap& map, void* record);

  // Makes the record the target of the next parse (pushes the first level).
  SoapStatus BeginParse(const SoapMap& map, void* record);
  // Parses a reply into the record given to BeginParse. 0 when the document
  // was read to its end and the reply wrapper was complete.
  SoapStatus ParseReply(ISoapReadStream& body, platform::CXmlReader& reader);
  // Releases every value of the read direction stored in the record.
  void FreeReadValues();
  // Empties the stack, returns to the start position and forgets the record.
  void Reset();

  int32_t StartDocument() override;
  int32_t StartElement(std::u16string_view uri, std::u16string_view localName, std::u16string_view qName,
                       const platform::XmlAttributes& attributes) override;
  int32_t EndElement(std::u16string_view uri, std::u16string_view localName, std::u16string_view qName) override;
  int32_t Characters(std::u16string_view text) override;

 private:
  enum class Position { Start, InEnvelope, InHeader, AfterHeader, InBody, InWrapper, AfterBody };

  struct Level {
    void* record = nullptr;
    const SoapMap* map = nullptr;
    std::vector<bool> received;  // by entry index
    std::size_t receivedCount = 0;
  };

  unsigned ReadDirection() const { return m_bClient ? kSoapOut : kSoapIn; }
  unsigned WriteDirection() const { return m_bClient ? kSoapIn : kSoapOut; }
  void PushFirstLevel();
  int32_t StartEnvelopeLevel(std::u16string_view uri, std::u16string_view localName);
  int32_t StartHeaderEntry(const platform::XmlAttributes& attributes);
  int32_t StartValue(std::u16string_view localName, const platform::XmlAttributes& attributes);
  int32_t EndValue();
  int32_t EndWrapper();
  void ClearValue(const SoapMapEntry& entry, void* record);

  bool m_bClient = true;
  const SoapMap* m_map = nullptr;
  void* m_record = nullptr;
  platform::CXmlReader* m_reader = nullptr;  // during a parse only
  std::vector<Level> m_stack;
  Position m_pos = Position::Start;
  bool m_wrapperDone = false;
  // The value element being read.
  const SoapMapEntry* m_entry = nullptr;
  bool m_inValue = false;  // simple value or nil element: no child elements allowed
  bool m_inText = false;   // string value: the collector hands it over whole
  bool m_nil = false;
  std::u16string m_value;
  CXmlTextCollector m_collector;
  CXmlSkipHandler m_skipper;
};

}  // namespace mes
