// Memory streams and canned replies for exercising the SOAP writer, parsers,
// transport and proxy.
#pragma once

#include <string>
#include <string_view>

#include "mes/SoapStreams.h"
#include "tests/support/MemoryByteSource.h"

namespace soaptest {

class StringSink final : public mes::ISoapWriteStream {
 public:
  using mes::ISoapWriteStream::Write;
  bool Write(const char* data, std::size_t length) override {
    text.append(data, length);
    return true;
  }
  std::string text;
};

// Hands out at most `piece` bytes per read, to exercise split character data.
using StringSource = testsupport::CMemoryByteSource;

inline std::string ReadAll(mes::ISoapReadStream& stream) {
  std::string all;
  char buf[7];
  for (std::size_t n; (n = stream.Read(buf, sizeof buf)) > 0;) all.append(buf, n);
  return all;
}

inline const std::string kEnvelopeOpen = "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">";

// An HTTP reply with a Content-Length body.
inline std::string HttpReply(const std::string& statusLine, const std::string& body,
                             const std::string& type = "text/xml; charset=utf-8") {
  return "HTTP/1.1 " + statusLine + "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

// A reply document as a .NET service writes it, the response wrapper holding `content`.
inline std::string ReplyBody(const std::string& content) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
         "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soap:Body><IO_UpData_CommonResponse "
         "xmlns=\"RO_dErodo\">" +
         content + "</IO_UpData_CommonResponse></soap:Body></soap:Envelope>";
}

inline std::string FaultBody(const std::string& fields) {
  return kEnvelopeOpen + "<soap:Body><soap:Fault>" + fields + "</soap:Fault></soap:Body></soap:Envelope>";
}

}  // namespace soaptest
