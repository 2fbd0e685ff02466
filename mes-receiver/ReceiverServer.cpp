#include "mes-receiver/ReceiverServer.h"

#include <httplib.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "mes-receiver/RequestValidator.h"
#include "mes-receiver/ServiceDescription.h"
#include "mes-receiver/SoapReplies.h"
#include "mes-receiver/UploadStore.h"

namespace receiver {

namespace {

constexpr char kXmlType[] = "text/xml; charset=utf-8";

void Fault(httplib::Response& res, const std::string& code, const std::string& text) {
  res.status = 500;
  res.set_content(FaultEnvelope(code, text), kXmlType);
}

}  // namespace

struct ReceiverServer::Impl {
  explicit Impl(UploadStore& s) : store(s) {}
  UploadStore& store;
  RequestValidator validator;
  std::mutex validatorMutex;
  httplib::Server server;
  std::string host;
  int port = 0;

  void Call(const httplib::Request& req, httplib::Response& res) {
    const std::string action = req.get_header_value("SOAPAction");
    if (action != kSoapAction) {
      Fault(res, "soap:Client",
            "SOAPAction " + (action.empty() ? std::string("missing") : "'" + action + "'") +
                ": this service serves only " + std::string(kSoapAction));
      return;
    }
    std::variant<UploadCall, RequestRefusal> checked;
    {
      std::lock_guard lock(validatorMutex);
      checked = validator.Check(req.body);
    }
    if (auto* refusal = std::get_if<RequestRefusal>(&checked)) {
      Fault(res, "soap:Client", "invalid IO_UpData_Common request: " + refusal->strMessage);
      return;
    }
    try {
      const std::int64_t id = store.Add(std::get<UploadCall>(checked), req.body);
      res.set_content(ResponseEnvelope("OK " + std::to_string(id)), kXmlType);
    } catch (const std::exception& e) {
      Fault(res, "soap:Server", e.what());
    }
  }

  void Description(const httplib::Request& req, httplib::Response& res) {
    const std::string hostLine = req.get_header_value("Host");
    const std::string authority = hostLine.empty() ? host + ":" + std::to_string(port) : hostLine;
    if (req.has_param("wsdl") || req.has_param("WSDL")) {
      res.set_content(ServiceWsdl("http://" + authority + std::string(kServicePath)), kXmlType);
    } else {
      res.set_content("IO_UpData_Common service of namespace RO_dErodo: POST SOAP 1.1 here; WSDL at ?wsdl\n",
                      "text/plain; charset=utf-8");
    }
  }
};

ReceiverServer::ReceiverServer(UploadStore& store) : m_impl(std::make_unique<Impl>(store)) {
  httplib::Server& s = m_impl->server;
  s.set_keep_alive_max_count(1000);
  s.set_keep_alive_timeout(30);
  // A reply's head and body are separate writes: without TCP_NODELAY the body
  // waits for the client's delayed acknowledgement, about 40 ms a call on a
  // kept-alive connection.
  s.set_tcp_nodelay(true);
  s.set_payload_max_length(64u << 20);
  // The library's default sets SO_REUSEPORT, which lets a second receiver
  // bind a port that one already listens on and take half its calls; a busy
  // port must be refused instead.
  s.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  const std::string path(kServicePath);
  s.Post(path, [this](const httplib::Request& req, httplib::Response& res) { m_impl->Call(req, res); });
  s.Get(path, [this](const httplib::Request& req, httplib::Response& res) { m_impl->Description(req, res); });
}

ReceiverServer::~ReceiverServer() = default;

int ReceiverServer::Bind(const std::string& host, int port, std::string& strError) {
  m_impl->host = host;
  errno = 0;
  int bound = -1;
  if (port == 0) {
    bound = m_impl->server.bind_to_any_port(host);
  } else if (m_impl->server.bind_to_port(host, port)) {
    bound = port;
  }
  if (bound <= 0) {
    const int err = errno;
    if (err == EADDRINUSE || port != 0) {
      strError = "port " + std::to_string(port) + " on " + host + " is in use" +
                 (err && err != EADDRINUSE ? std::string(" or not available (") + std::strerror(err) + ")" : "");
    } else {
      strError = "cannot listen on " + host + (err ? std::string(": ") + std::strerror(err) : "");
    }
    return -1;
  }
  m_impl->port = bound;
  return bound;
}

void ReceiverServer::Run() {
  m_impl->server.listen_after_bind();
}

void ReceiverServer::Stop() {
  m_impl->server.stop();
}

}  // namespace receiver
