#include "tests/MesDouble.h"

#include <QByteArray>
#include <QXmlStreamReader>

#include <algorithm>

#include "platform/TextCodec.h"

namespace results_test {
namespace {

// An HTTP reply carrying a SOAP envelope around body.
testsupport::LoopbackReply SoapReply(const std::string& status, const std::string& body) {
  const std::string envelope =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>" +
      body + "</soap:Body></soap:Envelope>";
  return testsupport::LoopbackReply::Bytes("HTTP/1.1 " + status + "\r\nContent-Type: text/xml; charset=utf-8\r\n" +
                                           "Content-Length: " + std::to_string(envelope.size()) + "\r\n\r\n" +
                                           envelope);
}

// Decodes one HTTP request carrying a SOAP envelope into the operation's values.
ReceivedUpload DecodeUploadRequest(const std::string& request) {
  ReceivedUpload out;
  const std::size_t headEnd = request.find("\r\n\r\n");
  std::string head = request.substr(0, headEnd);
  if (headEnd == std::string::npos || !head.starts_with("POST ")) out.strError += "not a POST; ";
  std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::tolower(c); });
  if (const std::size_t at = head.find("\r\nsoapaction: "); at != std::string::npos)
    out.strSoapAction = request.substr(at + 14, head.find("\r\n", at + 2) - at - 14);

  QXmlStreamReader xml(QByteArray::fromStdString(request.substr(std::min(headEnd + 4, request.size()))));
  for (int depth = 0; !xml.atEnd();) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token == QXmlStreamReader::EndElement) --depth;
    if (token != QXmlStreamReader::StartElement) continue;
    if (++depth == 4) {  // Envelope, Body, the operation, its values
      const std::string name = xml.name().toString().toStdString();
      const auto nil = xml.attributes().value("http://www.w3.org/2001/XMLSchema-instance", "nil");
      const std::string text = xml.readElementText().toStdString();  // a nested element is an error
      --depth;
      if (out.values.count(name)) out.strError += "repeated " + name + "; ";
      out.order.push_back(name);
      out.values[name] = nil == u"true" || nil == u"1" ? std::nullopt : std::optional(platform::Utf8ToGbk(text));
    }
  }
  if (xml.hasError()) out.strError += "XML: " + xml.errorString().toStdString() + "; ";
  return out;
}

}  // namespace

std::string ReceivedUpload::Text(const std::string& name) const {
  auto it = values.find(name);
  if (it == values.end()) return "<absent>";
  return it->second ? *it->second : "<nil>";
}

std::string ReceivedUpload::Bytes(const std::string& name) const {
  auto it = values.find(name);
  if (it == values.end() || !it->second) return "<absent or nil>";
  return QByteArray::fromBase64(QByteArray::fromStdString(*it->second)).toStdString();  // skips CR LF
}

MesDouble::MesDouble() {
  m_server.SetHandler([this](const std::string& request) { return Handle(request); });
}

void MesDouble::SetAnswer(Answer answer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_answer = answer;
}

std::vector<ReceivedUpload> MesDouble::Uploads() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_uploads;
}

std::vector<std::string> MesDouble::StoredSerials() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_stored;
}

testsupport::LoopbackReply MesDouble::Handle(const std::string& request) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_uploads.push_back(DecodeUploadRequest(request));
  if (m_answer == Answer::Ok || m_answer == Answer::Silent) m_stored.push_back(m_uploads.back().Text("SerialNumber"));
  switch (m_answer) {
    case Answer::Ok:
      return SoapReply("200 OK",
                       "<IO_UpData_CommonResponse xmlns=\"RO_dErodo\"><IO_UpData_CommonResult>OK"
                       "</IO_UpData_CommonResult></IO_UpData_CommonResponse>");
    case Answer::Fault500:
      return SoapReply("500 Internal Server Error",
                       "<soap:Fault><faultcode>soap:Server</faultcode><faultstring>database down</faultstring>"
                       "</soap:Fault>");
    case Answer::Unavailable503:
      return testsupport::LoopbackReply::Bytes("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 4\r\n\r\nbusy");
    case Answer::Silent:
      break;
  }
  return testsupport::LoopbackReply::Silent();
}

}  // namespace results_test
