#include "tests/support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr int kPollSliceMs = 50;

// Content-Length of a request head; 0 when absent or unreadable.
std::size_t ContentLengthOf(std::string_view head) {
  std::string lower(head);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t pos = lower.find("\r\ncontent-length:");
  return pos == std::string::npos ? 0 : std::strtoul(lower.c_str() + pos + 17, nullptr, 10);
}

// Reads and drops input until the peer closes, an error, the server stops or
// the deadline passes.
template <class Stopping>
void Drain(int fd, Stopping stopping, std::chrono::steady_clock::time_point until) {
  char sink[4096];
  while (!stopping() && std::chrono::steady_clock::now() < until) {
    pollfd pfd{fd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, kPollSliceMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && ::recv(fd, sink, sizeof sink, 0) <= 0) break;
  }
}

}  // namespace

LoopbackReply LoopbackReply::Bytes(std::string bytes, bool closeAfter) {
  LoopbackReply reply;
  reply.pieces.push_back({std::move(bytes), 0});
  reply.closeAfter = closeAfter;
  return reply;
}

LoopbackReply LoopbackReply::Trickle(std::string_view bytes, std::size_t pieceSize, int delayMs, bool closeAfter) {
  LoopbackReply reply;
  if (pieceSize == 0) pieceSize = 1;
  for (std::size_t pos = 0; pos < bytes.size(); pos += pieceSize) {
    reply.pieces.push_back({std::string(bytes.substr(pos, pieceSize)), delayMs});
  }
  reply.closeAfter = closeAfter;
  return reply;
}

LoopbackReply LoopbackReply::Silent() {
  LoopbackReply reply;
  reply.neverAnswer = true;
  return reply;
}

CLoopbackServer::CLoopbackServer() {
  m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listenFd < 0) throw std::runtime_error("loopback server: socket failed");
  int one = 1;
  ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listenFd, 64) != 0) {
    ::close(m_listenFd);
    throw std::runtime_error("loopback server: bind/listen failed");
  }
  socklen_t len = sizeof addr;
  ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
  m_nPort = ntohs(addr.sin_port);
  m_acceptThread = std::thread([this] { AcceptLoop(); });
}

CLoopbackServer::~CLoopbackServer() {
  Stop();
}

std::string CLoopbackServer::Url(std::string_view path) const {
  std::string url = "http://127.0.0.1:" + std::to_string(m_nPort);
  if (path.empty() || path.front() != '/') url += '/';
  url += path;
  return url;
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

bool CLoopbackServer::WaitForRequests(std::size_t n, int timeoutMs) const {
  std::unique_lock lock(m_mutex);
  return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_requests.size() >= n; });
}

void CLoopbackServer::Stop() {
  if (m_bStopping.exchange(true)) return;
  {
    std::lock_guard lock(m_mutex);  // wakes the pauses between reply pieces
  }
  m_cv.notify_all();
  if (m_acceptThread.joinable()) m_acceptThread.join();
  if (m_listenFd >= 0) {
    ::close(m_listenFd);
    m_listenFd = -1;
  }
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(m_mutex);
    for (int fd : m_connFds) ::shutdown(fd, SHUT_RDWR);
    threads.swap(m_connThreads);
  }
  for (auto& t : threads) t.join();
}

void CLoopbackServer::AcceptLoop() {
  while (!m_bStopping.load()) {
    pollfd pfd{m_listenFd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, kPollSliceMs);
    if (ready <= 0) continue;
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    {
      std::lock_guard lock(m_mutex);
      ++m_nConnections;
      m_connFds.push_back(fd);
      m_connThreads.emplace_back([this, fd] { ServeConnection(fd); });
    }
    m_cv.notify_all();
  }
}

bool CLoopbackServer::SleepUnlessStopped(int ms) {
  std::unique_lock lock(m_mutex);
  return !m_cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_bStopping.load(); });
}

bool CLoopbackServer::ReadRequest(int fd, std::string& pending, std::string& request) {
  char buf[8192];
  std::size_t headEnd = std::string::npos;
  for (;;) {
    if (headEnd == std::string::npos) {
      const std::size_t found = pending.find("\r\n\r\n");
      if (found != std::string::npos) headEnd = found + 4;
    }
    if (headEnd != std::string::npos) {
      const std::size_t total = headEnd + ContentLengthOf(std::string_view(pending).substr(0, headEnd));
      if (pending.size() >= total) {
        request = pending.substr(0, total);
        pending.erase(0, total);
        return true;
      }
    }
    if (m_bStopping.load()) return false;
    pollfd pfd{fd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, kPollSliceMs);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    pending.append(buf, static_cast<std::size_t>(n));
  }
}

bool CLoopbackServer::NextReply(const std::string& request, LoopbackReply& reply) {
  Handler handler;
  {
    std::lock_guard lock(m_mutex);
    if (!m_replies.empty()) {
      reply = std::move(m_replies.front());
      m_replies.pop_front();
      return true;
    }
    handler = m_handler;
  }
  if (!handler) return false;
  reply = handler(request);
  return true;
}

void CLoopbackServer::ServeConnection(int fd) {
  const auto stopping = [this] { return m_bStopping.load(); };
  std::string pending;
  for (;;) {
    std::string request;
    if (!ReadRequest(fd, pending, request)) break;
    {
      std::lock_guard lock(m_mutex);
      m_requests.push_back(request);
    }
    m_cv.notify_all();
    LoopbackReply reply;
    if (!NextReply(request, reply)) break;
    if (reply.neverAnswer) {  // hold the connection, silent, until either end closes it
      Drain(fd, stopping, std::chrono::steady_clock::time_point::max());
      break;
    }
    bool sendFailed = false;
    for (const auto& piece : reply.pieces) {
      sendFailed = piece.delayMsBefore > 0 && !SleepUnlessStopped(piece.delayMsBefore);
      for (std::size_t sent = 0; !sendFailed && sent < piece.bytes.size();) {
        const ssize_t n = ::send(fd, piece.bytes.data() + sent, piece.bytes.size() - sent, MSG_NOSIGNAL);
        sendFailed = n <= 0;
        if (n > 0) sent += static_cast<std::size_t>(n);
      }
      if (sendFailed) break;
    }
    if (sendFailed || reply.closeAfter) break;
  }
  // Close gracefully: a close with unread input would reset the connection
  // and could cost the client the reply it has not read yet.
  ::shutdown(fd, SHUT_WR);
  Drain(fd, stopping, std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
  std::lock_guard lock(m_mutex);
  m_connFds.erase(std::remove(m_connFds.begin(), m_connFds.end(), fd), m_connFds.end());
  ::close(fd);
}

}  // namespace testsupport
