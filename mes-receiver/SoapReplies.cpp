#include "mes-receiver/SoapReplies.h"

namespace receiver {

namespace {

constexpr char kStart[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>";
constexpr char kEnd[] = "</soap:Body></soap:Envelope>";

std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string ResponseEnvelope(const std::string& resultText) {
  return std::string(kStart) + "<IO_UpData_CommonResponse xmlns=\"RO_dErodo\"><IO_UpData_CommonResult>" +
         Escaped(resultText) + "</IO_UpData_CommonResult></IO_UpData_CommonResponse>" + kEnd;
}

std::string FaultEnvelope(const std::string& faultCode, const std::string& faultString) {
  return std::string(kStart) + "<soap:Fault><faultcode>" + faultCode + "</faultcode><faultstring>" +
         Escaped(faultString) + "</faultstring></soap:Fault>" + kEnd;
}

}  // namespace receiver
