#include "platform/Sockets.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

namespace platform {

struct AddressList {
  addrinfo* head = nullptr;
};

int ResolveHost(const char* host, const char* service, AddressList** list) {
  *list = nullptr;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = 0;
  hints.ai_flags = 0;
  addrinfo* result = nullptr;
  const int rc = ::getaddrinfo(host, service, &hints, &result);
  if (rc != 0) return rc == EAI_SYSTEM && errno != 0 ? errno : rc;
  if (result == nullptr) return EAI_NONAME;
  *list = new AddressList{result};
  return 0;
}

void FreeAddressList(AddressList* list) {
  if (list == nullptr) return;
  if (list->head) ::freeaddrinfo(list->head);
  delete list;
}

std::size_t AddressCount(const AddressList* list) {
  std::size_t n = 0;
  for (const addrinfo* a = list ? list->head : nullptr; a; a = a->ai_next) ++n;
  return n;
}

SocketHandle CreateSocketFor(const AddressList* list, int* error) {
  const addrinfo* a = list->head;
  const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
  if (fd < 0) {
    *error = errno;
    return kInvalidSocket;
  }
  return fd;
}

int StartConnect(SocketHandle socket, const AddressList* list) {
  const addrinfo* a = list->head;
  for (;;) {
    if (::connect(socket, a->ai_addr, a->ai_addrlen) == 0) return 0;
    if (errno == EINTR) continue;
    if (errno == EINPROGRESS) return kConnectPending;
    return errno;
  }
}

namespace {

// poll() for one event, restarted after signals with the time that is left.
int WaitFor(SocketHandle socket, short events, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    pollfd pfd{socket, events, 0};
    const int rc = ::poll(&pfd, 1, left > 0 ? static_cast<int>(left) : 0);
    if (rc > 0) return 1;
    if (rc == 0) return 0;
    if (errno != EINTR) return -errno;
  }
}

}  // namespace

int WaitReadable(SocketHandle socket, int timeoutMs) {
  return WaitFor(socket, POLLIN, timeoutMs);
}
int WaitWritable(SocketHandle socket, int timeoutMs) {
  return WaitFor(socket, POLLOUT, timeoutMs);
}

int PendingError(SocketHandle socket) {
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return errno;
  return err;
}

long SendSome(SocketHandle socket, const ConstBuffer* buffers, std::size_t count) {
  std::vector<iovec> iov(count);
  for (std::size_t i = 0; i < count; ++i) {
    iov[i].iov_base = const_cast<void*>(buffers[i].data);
    iov[i].iov_len = buffers[i].length;
  }
  msghdr msg{};
  msg.msg_iov = iov.data();
  msg.msg_iovlen = iov.size();
  for (;;) {
    const ssize_t n = ::sendmsg(socket, &msg, MSG_NOSIGNAL);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -errno;
  }
}

long ReceiveSome(SocketHandle socket, void* buffer, std::size_t length) {
  for (;;) {
    const ssize_t n = ::recv(socket, buffer, length, 0);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -errno;
  }
}

bool IsWouldBlock(int negativeErrno) {
  return negativeErrno == -EAGAIN || negativeErrno == -EWOULDBLOCK;
}

bool SetNoDelay(SocketHandle socket, bool noDelay, int* error) {
  int value = noDelay ? 1 : 0;
  if (::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) == 0) return true;
  *error = errno;
  return false;
}

void CloseSocket(SocketHandle socket) {
  if (socket != kInvalidSocket) ::close(socket);
}

}  // namespace platform
