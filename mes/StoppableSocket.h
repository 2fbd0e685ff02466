// CEventSocket for a background sender that must be stoppable: before every
// operation the owner's stop flag is read, and once it is set the operation
// fails at once. A stop therefore waits for at most the one socket wait in
// progress. Use it as the socket of the HTTP client:
//   CS_QuerySN::CCS_QuerySNT<CSoapHttpTransportT<CStoppableSocket>> proxy(url);
//   proxy.GetClient().GetHttpClient().GetSocket().SetStopFlag(&stop);
#pragma once

#include <atomic>
#include <cstddef>

#include "mes/EventSocket.h"

namespace mes {

class CStoppableSocket {
 public:
  using Buffer = CEventSocket::Buffer;

  // The flag must outlive the socket; null means never stopped.
  void SetStopFlag(const std::atomic<bool>* pStop) { m_pStop = pStop; }

  bool Connect(const char* hostName, unsigned short port) { return !Stopped() && m_socket.Connect(hostName, port); }
  bool Write(const Buffer* buffers, std::size_t count, std::size_t* bytesSent) {
    return !Stopped() && m_socket.Write(buffers, count, bytesSent);
  }
  bool Write(const void* data, std::size_t* length) { return !Stopped() && m_socket.Write(data, length); }
  bool Read(void* buffer, std::size_t* size) { return !Stopped() && m_socket.Read(buffer, size); }
  int SetSocketTimeout(int timeoutMs) { return m_socket.SetSocketTimeout(timeoutMs); }
  int GetSocketTimeout() const { return m_socket.GetSocketTimeout(); }
  void SetNoDelay(bool noDelay) { m_socket.SetNoDelay(noDelay); }
  int GetLastError() const { return m_socket.GetLastError(); }
  bool IsConnected() const { return m_socket.IsConnected(); }
  void Close() { m_socket.Close(); }

 private:
  bool Stopped() {
    if (m_pStop == nullptr || !m_pStop->load()) return false;
    m_socket.Close();
    return true;
  }

  const std::atomic<bool>* m_pStop = nullptr;
  CEventSocket m_socket;
};

}  // namespace mes
