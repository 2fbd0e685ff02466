#include "mes/EventSocket.h"

#include <chrono>
#include <string>
#include <vector>

namespace mes {

int CResolvedAddress::Resolve(const char* host, unsigned short port) {
  Release();
  const std::string service = std::to_string(port);
  return platform::ResolveHost(host, service.c_str(), &m_pList);
}

void CResolvedAddress::Release() {
  platform::FreeAddressList(m_pList);
  m_pList = nullptr;
}

int CEventSocket::SetSocketTimeout(int timeoutMs) {
  const int previous = m_nTimeout;
  m_nTimeout = timeoutMs;
  return previous;
}

void CEventSocket::Close() {
  if (m_hSocket == platform::kInvalidSocket) return;
  m_bConnected = false;
  platform::CloseSocket(m_hSocket);
  m_hSocket = platform::kInvalidSocket;
}

bool CEventSocket::Connect(const char* hostName, unsigned short port) {
  if (m_bConnected) return true;
  if (hostName == nullptr) {
    m_nLastError = kSocketErrorNotConnected;
    return false;
  }
  const int resolved = m_address.Resolve(hostName, port);
  if (resolved != 0) {
    m_nLastError = resolved;
    return false;
  }
  if (m_hSocket == platform::kInvalidSocket) {
    int error = 0;
    m_hSocket = platform::CreateSocketFor(m_address.Get(), &error);
    if (m_hSocket == platform::kInvalidSocket) {
      m_nLastError = error;
      return false;
    }
    // Without it the body write waits for the acknowledgement of the head.
    if (m_bNoDelay) platform::SetNoDelay(m_hSocket, true, &error);
  }

  bool connected = false;
  const int started = platform::StartConnect(m_hSocket, m_address.Get());
  if (started == 0) {
    connected = true;
  } else if (started == platform::kConnectPending) {
    const int waited = platform::WaitWritable(m_hSocket, m_nTimeout);
    if (waited < 0) {
      m_nLastError = -waited;
    } else if (waited > 0) {
      const int error = platform::PendingError(m_hSocket);
      if (error != 0) m_nLastError = error;
      connected = error == 0;
    }
  } else {
    m_nLastError = started;
  }
  if (!connected) {
    // A socket whose connect failed cannot be used again.
    Close();
    return false;
  }
  m_bConnected = true;
  return true;
}

bool CEventSocket::FailAndClose() {
  Close();
  return false;
}

bool CEventSocket::Write(const Buffer* buffers, std::size_t count, std::size_t* bytesSent) {
  if (bytesSent) *bytesSent = 0;
  if (!m_bConnected) {
    m_nLastError = kSocketErrorNotConnected;
    return false;
  }
  std::unique_lock lock(m_writeLock, std::try_to_lock);
  if (!lock.owns_lock()) {
    m_nLastError = kSocketErrorInProgress;
    return false;
  }

  std::vector<platform::ConstBuffer> pending;
  for (std::size_t i = 0; i < count; ++i) {
    if (buffers[i].length > 0) pending.push_back({buffers[i].data, buffers[i].length});
  }
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::milliseconds(m_nTimeout);
  std::size_t total = 0;
  std::size_t first = 0;
  while (first < pending.size()) {
    const long sent = platform::SendSome(m_hSocket, pending.data() + first, pending.size() - first);
    if (sent > 0) {
      total += static_cast<std::size_t>(sent);
      std::size_t left = static_cast<std::size_t>(sent);
      while (first < pending.size() && left >= pending[first].length) {
        left -= pending[first].length;
        ++first;
      }
      if (left > 0) {
        pending[first].data = static_cast<const char*>(pending[first].data) + left;
        pending[first].length -= left;
      }
      continue;
    }
    if (sent < 0 && !platform::IsWouldBlock(static_cast<int>(sent))) {
      m_nLastError = static_cast<int>(-sent);
      if (bytesSent) *bytesSent = total;
      return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    const int waited = left > 0 ? platform::WaitWritable(m_hSocket, static_cast<int>(left)) : 0;
    if (waited == 0) {
      // Timed out: abandon the send; closing makes sure nothing is left pending.
      if (bytesSent) *bytesSent = total;
      return FailAndClose();
    }
    if (waited < 0) {
      m_nLastError = -waited;
      if (bytesSent) *bytesSent = total;
      return false;
    }
  }
  if (bytesSent) *bytesSent = total;
  return true;
}

bool CEventSocket::Write(const void* data, std::size_t* length) {
  const Buffer buffer{data, length ? *length : 0};
  std::size_t sent = 0;
  const bool ok = Write(&buffer, 1, &sent);
  if (length) *length = sent;
  return ok;
}

bool CEventSocket::Read(void* buffer, std::size_t* size) {
  const std::size_t capacity = size ? *size : 0;
  if (size) *size = 0;
  if (!m_bConnected) {
    m_nLastError = kSocketErrorNotConnected;
    return false;
  }
  std::unique_lock lock(m_readLock, std::try_to_lock);
  if (!lock.owns_lock()) {
    m_nLastError = kSocketErrorInProgress;
    return false;
  }
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::milliseconds(m_nTimeout);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    const int waited = left > 0 ? platform::WaitReadable(m_hSocket, static_cast<int>(left)) : 0;
    if (waited == 0) return FailAndClose();
    if (waited < 0) {
      m_nLastError = -waited;
      return false;
    }
    const long got = platform::ReceiveSome(m_hSocket, buffer, capacity);
    if (got >= 0) {
      if (size) *size = static_cast<std::size_t>(got);
      return true;
    }
    if (!platform::IsWouldBlock(static_cast<int>(got))) {
      m_nLastError = static_cast<int>(-got);
      return false;
    }
  }
}

}  // namespace mes
