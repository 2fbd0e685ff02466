// A TCP socket on 127.0.0.1 with a port the system picks: a listening peer
// that never accepts (connections wait in its backlog, writes block once the
// buffers are full), or, bound only, a port where connections are refused.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

class CLoopbackListener {
 public:
  // A negative backlog binds without listening.
  explicit CLoopbackListener(int backlog = 4) {
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    if (backlog >= 0) ::listen(m_fd, backlog);
    socklen_t len = sizeof addr;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
  }
  ~CLoopbackListener() { ::close(m_fd); }
  CLoopbackListener(const CLoopbackListener&) = delete;
  CLoopbackListener& operator=(const CLoopbackListener&) = delete;

  unsigned short Port() const { return ntohs(addr.sin_port); }

  sockaddr_in addr{};

 private:
  int m_fd = -1;
};

// A loopback port nothing listens on right now.
inline int FreeLoopbackPort() {
  return CLoopbackListener(-1).Port();
}

}  // namespace testsupport
