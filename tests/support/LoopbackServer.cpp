#include "tests/support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr int kPollSliceMs = 50;

// Head and Content-Length bytes of body, once all of it is in `pending`; 0 before.
std::size_t RequestLength(const std::string& pending) {
  const std::size_t headEnd = pending.find("\r\n\r\n");
  if (headEnd == std::string::npos) return 0;
  std::string head = pending.substr(0, headEnd);
  std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::tolower(c); });
  const std::size_t at = head.find("\r\ncontent-length:");
  const std::size_t total = headEnd + 4 + (at == std::string::npos ? 0 : std::strtoul(&head[at + 17], nullptr, 10));
  return pending.size() >= total ? total : 0;
}

}  // namespace

LoopbackReply LoopbackReply::Trickle(std::string_view bytes, int delayMs) {
  LoopbackReply reply{{}, true};
  for (char c : bytes) reply.pieces.push_back({std::string(1, c), delayMs});
  return reply;
}

CLoopbackServer::CLoopbackServer() {
  m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
      ::listen(m_listenFd, 64) != 0 || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("loopback server: cannot listen");
  m_nPort = ntohs(addr.sin_port);
  m_acceptThread = std::thread([this] {
    while (!m_bStopping) {
      pollfd pfd{m_listenFd, POLLIN, 0};
      if (::poll(&pfd, 1, kPollSliceMs) <= 0) continue;
      const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::lock_guard lock(m_mutex);
      ++m_nConnections;
      m_connFds.push_back(fd);
      m_connThreads.emplace_back([this, fd] { Serve(fd); });
    }
  });
}

void CLoopbackServer::AddReply(LoopbackReply reply) {
  std::lock_guard lock(m_mutex);
  m_replies.push_back(std::move(reply));
}

void CLoopbackServer::SetHandler(Handler handler) {
  std::lock_guard lock(m_mutex);
  m_handler = std::move(handler);
}

std::vector<std::string> CLoopbackServer::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

void CLoopbackServer::Stop() {
  if (m_bStopping.exchange(true)) return;
  {
    std::lock_guard lock(m_mutex);  // no pause misses the wake-up below
  }
  m_cv.notify_all();
  m_acceptThread.join();  // no connection thread is added after it
  ::close(m_listenFd);
  {
    std::lock_guard lock(m_mutex);
    for (int fd : m_connFds) ::shutdown(fd, SHUT_RDWR);
  }
  for (auto& t : m_connThreads) t.join();
}

bool CLoopbackServer::Receive(int fd, std::string& into) {
  pollfd pfd{fd, POLLIN, 0};
  if (m_bStopping || ::poll(&pfd, 1, kPollSliceMs) < 0) return false;
  if (!(pfd.revents & (POLLIN | POLLHUP | POLLERR))) return true;
  char buf[8192];
  const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
  if (n > 0) into.append(buf, static_cast<std::size_t>(n));
  return n > 0;
}

void CLoopbackServer::Serve(int fd) {
  std::string pending;
  for (bool open = true; open;) {
    std::size_t length = 0;
    while (open && (length = RequestLength(pending)) == 0) open = Receive(fd, pending);
    if (!open) break;
    LoopbackReply reply;
    Handler handler;
    {
      std::lock_guard lock(m_mutex);
      m_requests.push_back(pending.substr(0, length));
      if (!m_replies.empty()) {
        reply = std::move(m_replies.front());
        m_replies.pop_front();
      } else if (!(handler = m_handler)) {
        reply.closeAfter = true;
      }
    }
    if (handler) reply = handler(pending.substr(0, length));
    pending.erase(0, length);
    if (reply.neverAnswer) {  // hold the connection, silent, until either end closes it
      while (Receive(fd, pending)) pending.clear();
      break;
    }
    for (const auto& piece : reply.pieces) {
      std::unique_lock lock(m_mutex);
      open = open && !m_cv.wait_for(lock, std::chrono::milliseconds(piece.delayMsBefore),
                                    [this] { return m_bStopping.load(); });
      lock.unlock();
      open = open && ::send(fd, piece.bytes.data(), piece.bytes.size(), MSG_NOSIGNAL) ==
                         static_cast<ssize_t>(piece.bytes.size());
    }
    open = open && !reply.closeAfter;
  }
  // Close gracefully: a close with unread input would reset the connection
  // and could cost the client the reply it has not read yet.
  ::shutdown(fd, SHUT_WR);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  while (std::chrono::steady_clock::now() < until && Receive(fd, pending)) pending.clear();
  std::lock_guard lock(m_mutex);
  m_connFds.erase(std::find(m_connFds.begin(), m_connFds.end(), fd));
  ::close(fd);
}

}  // namespace testsupport
