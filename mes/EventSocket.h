// A TCP client socket with blocking-style calls whose every wait is bounded by
// a time-out. Operations run non-blocking underneath and the calling thread
// waits for their completion; an operation whose wait times out is abandoned
// and the socket closed, so nothing refers to the caller's buffers afterwards.
//
// Usage:
//   CEventSocket s;
//   s.SetSocketTimeout(5000);
//   if (s.Connect("mes", 80)) { size_t n = head.size(); s.Write(head.data(), &n); ... }
//   size_t got = sizeof buf; s.Read(buf, &got);   // got == 0: the peer closed
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

#include "platform/Sockets.h"

namespace mes {

// Owns the address list of one name resolution; a new resolution releases the
// previous list first.
class CResolvedAddress {
 public:
  CResolvedAddress() = default;
  ~CResolvedAddress() { Release(); }
  CResolvedAddress(const CResolvedAddress&) = delete;
  CResolvedAddress& operator=(const CResolvedAddress&) = delete;

  // Returns 0, or the resolver's error code.
  int Resolve(const char* host, unsigned short port);
  void Release();
  const platform::AddressList* Get() const { return m_pList; }
  bool IsEmpty() const { return m_pList == nullptr; }

 private:
  platform::AddressList* m_pList = nullptr;
};

// Error codes the socket stores itself; all other last-error values are the
// platform's (errno values, or resolver codes from Connect).
inline constexpr int kSocketErrorNotConnected = 10057;
inline constexpr int kSocketErrorInProgress = 10036;
inline constexpr int kDefaultSocketTimeoutMs = 10000;

class CEventSocket {
 public:
  struct Buffer {
    const void* data;
    std::size_t length;
  };

  CEventSocket() = default;
  ~CEventSocket() { Close(); }
  CEventSocket(const CEventSocket&) = delete;
  CEventSocket& operator=(const CEventSocket&) = delete;

  // True when connected. Already connected: true at once, nothing is sent.
  // Only the first resolved address is tried.
  bool Connect(const char* hostName, unsigned short port);

  // Sends every byte of the buffers (one write); *bytesSent is what went out.
  bool Write(const Buffer* buffers, std::size_t count, std::size_t* bytesSent);
  // In: bytes to send; out: bytes sent.
  bool Write(const void* data, std::size_t* length);

  // One receive: in: buffer size; out: bytes received (0 = peer closed).
  bool Read(void* buffer, std::size_t* size);

  // Time-out of every wait in milliseconds; returns the previous value.
  int SetSocketTimeout(int timeoutMs);
  int GetSocketTimeout() const { return m_nTimeout; }

  // Small writes go out at once (TCP_NODELAY) unless switched off before the
  // connection is made; the head and the body of a request are separate writes
  // and must not wait for the peer's delayed acknowledgement.
  void SetNoDelay(bool noDelay) { m_bNoDelay = noDelay; }

  int GetLastError() const { return m_nLastError; }
  bool IsConnected() const { return m_bConnected; }
  void Close();

 private:
  bool FailAndClose();

  std::mutex m_readLock;
  std::mutex m_writeLock;
  CResolvedAddress m_address;
  platform::SocketHandle m_hSocket = platform::kInvalidSocket;
  // One thread may read while another writes: flags they share are atomic.
  std::atomic<bool> m_bConnected{false};
  bool m_bNoDelay = true;
  std::atomic<int> m_nLastError{0};
  int m_nTimeout = kDefaultSocketTimeoutMs;
};

}  // namespace mes
