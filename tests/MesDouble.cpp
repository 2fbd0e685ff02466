#include "tests/MesDouble.h"

#include <expat.h>

#include <QByteArray>

#include <cctype>
#include <cstring>

#include "platform/TextCodec.h"

namespace results_test {
namespace {

constexpr char kNsSeparator = '|';
constexpr char kXsiNs[] = "http://www.w3.org/2001/XMLSchema-instance";

// Expat gives "<namespace>|<local name>".
std::string LocalName(const char* qname) {
  const char* bar = std::strrchr(qname, kNsSeparator);
  return bar ? bar + 1 : qname;
}

struct ParseState {
  ReceivedUpload* out;
  int depth = 0;        // 1 Envelope, 2 Body, 3 operation, 4 values
  std::string current;  // value element being read
  bool currentNil = false;
  std::string text;  // UTF-8
};

void XMLCALL OnStart(void* data, const char* name, const char** attrs) {
  auto* s = static_cast<ParseState*>(data);
  ++s->depth;
  if (s->depth == 3 && s->out->strOperation.empty()) {
    s->out->strOperation = LocalName(name);
    const char* bar = std::strrchr(name, kNsSeparator);
    s->out->strNamespace = bar ? std::string(name, bar) : std::string();
  } else if (s->depth == 4) {
    s->current = LocalName(name);
    s->text.clear();
    s->currentNil = false;
    for (int i = 0; attrs[i]; i += 2) {
      if (attrs[i] == std::string(kXsiNs) + kNsSeparator + "nil") {
        s->currentNil = std::strcmp(attrs[i + 1], "true") == 0 || std::strcmp(attrs[i + 1], "1") == 0;
      }
    }
  } else if (s->depth > 4) {
    s->out->strError += "nested element " + LocalName(name) + "; ";
  }
}

void XMLCALL OnEnd(void* data, const char*) {
  auto* s = static_cast<ParseState*>(data);
  if (s->depth == 4) {
    if (s->out->values.count(s->current)) s->out->strError += "repeated " + s->current + "; ";
    s->out->order.push_back(s->current);
    s->out->values[s->current] =
        s->currentNil ? std::nullopt : std::optional<std::string>(platform::Utf8ToGbk(s->text));
  }
  --s->depth;
}

void XMLCALL OnText(void* data, const char* text, int len) {
  auto* s = static_cast<ParseState*>(data);
  if (s->depth == 4) s->text.append(text, len);
}

// The value of a header, found without regard to the name's case.
std::string HeaderValue(const std::string& head, const std::string& name) {
  std::string lower = head;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::size_t at = lower.find("\r\n" + name + ":");
  if (at == std::string::npos) return {};
  at = head.find_first_not_of(' ', at + name.size() + 3);
  if (at == std::string::npos) return {};
  return head.substr(at, head.find("\r\n", at) - at);
}

// An HTTP reply carrying a SOAP envelope around body.
testsupport::LoopbackReply SoapReply(const std::string& status, const std::string& body) {
  const std::string envelope =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>" +
      body + "</soap:Body></soap:Envelope>";
  return testsupport::LoopbackReply::Bytes("HTTP/1.1 " + status +
                                           "\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " +
                                           std::to_string(envelope.size()) + "\r\n\r\n" + envelope);
}

// Decodes one HTTP request carrying a SOAP envelope.
ReceivedUpload DecodeUploadRequest(const std::string& request) {
  ReceivedUpload out;
  const std::size_t headEnd = request.find("\r\n\r\n");
  if (headEnd == std::string::npos) {
    out.strError = "no request head";
    return out;
  }
  const std::string head = request.substr(0, headEnd);
  if (head.rfind("POST ", 0) != 0) out.strError += "not a POST; ";
  out.strPath = head.substr(5, head.find(' ', 5) - 5);
  out.strSoapAction = HeaderValue(head, "soapaction");
  const std::string body = request.substr(headEnd + 4);

  XML_Parser parser = XML_ParserCreateNS(nullptr, kNsSeparator);
  ParseState state{&out};
  XML_SetUserData(parser, &state);
  XML_SetElementHandler(parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser, OnText);
  if (XML_Parse(parser, body.data(), static_cast<int>(body.size()), 1) == XML_STATUS_ERROR) {
    out.strError += std::string("XML: ") + XML_ErrorString(XML_GetErrorCode(parser)) + "; ";
  }
  XML_ParserFree(parser);
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
  if (m_answer == Answer::Ok || m_answer == Answer::StoreNoReply || m_answer == Answer::Silent) {
    m_stored.push_back(m_uploads.back().Text("SerialNumber"));
  }
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
    case Answer::StoreNoReply: {
      testsupport::LoopbackReply lost;
      lost.closeAfter = true;
      return lost;
    }
    case Answer::Silent:
      break;
  }
  return testsupport::LoopbackReply::Silent();
}

}  // namespace results_test
