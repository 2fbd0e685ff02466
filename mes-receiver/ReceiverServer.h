// The HTTP side of the receiver: IO_UpData_Common at the service path
// (POST, checked SOAPAction, validated, stored, answered) and its WSDL at
// "?wsdl", over HTTP/1.1 with keep-alive.
#pragma once

#include <memory>
#include <string>

namespace receiver {

class UploadStore;

class ReceiverServer {
 public:
  explicit ReceiverServer(UploadStore& store);
  ~ReceiverServer();

  // Binds host:port (0 = any free port). Returns the port, or -1 with
  // strError set (e.g. the port is in use).
  int Bind(const std::string& host, int port, std::string& strError);
  void Run();   // serves until Stop
  void Stop();  // from any thread

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace receiver
