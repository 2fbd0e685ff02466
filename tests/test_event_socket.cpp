// The event socket over real loopback TCP: connecting, bounded waits, the codes
// it stores itself, and abandoning an operation that timed out.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "mes/EventSocket.h"
#include "tests/support/LoopbackServer.h"

using testsupport::CLoopbackServer;
using testsupport::LoopbackReply;

namespace {

using Clock = std::chrono::steady_clock;

// A listening socket that never accepts nor reads: connects complete in the
// backlog, and writes block once the buffers are full.
class CDeafListener {
 public:
  CDeafListener() {
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(m_fd, 4);
    socklen_t len = sizeof addr;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
  }
  ~CDeafListener() { ::close(m_fd); }
  unsigned short Port() const { return m_port; }

 private:
  int m_fd = -1;
  unsigned short m_port = 0;
};

unsigned short ClosedPort() {
  CLoopbackServer gone;
  const unsigned short port = gone.Port();
  gone.Stop();
  return port;
}

std::string ReadAll(CEventSocket& socket) {
  std::string all;
  char buf[4096];
  for (;;) {
    std::size_t n = sizeof buf;
    if (!socket.Read(buf, &n) || n == 0) return all;
    all.append(buf, n);
  }
}

}  // namespace

TEST(EventSocket, ConnectsWritesAndReadsUntilThePeerCloses) {
  CLoopbackServer server;
  server.AddReply("HTTP/1.1 200 OK\r\n\r\nhello", true);
  CEventSocket socket;
  ASSERT_TRUE(socket.Connect("127.0.0.1", server.Port()));
  EXPECT_TRUE(socket.IsConnected());
  const std::string head = "GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\n";
  const CEventSocket::Buffer buffers[] = {{head.data(), head.size()}, {"", 0}, {"12345", 5}};
  std::size_t sent = 0;
  ASSERT_TRUE(socket.Write(buffers, 3, &sent));
  EXPECT_EQ(sent, head.size() + 5);
  EXPECT_EQ(ReadAll(socket), "HTTP/1.1 200 OK\r\n\r\nhello");
  std::size_t n = 16;
  char buf[16];
  EXPECT_TRUE(socket.Read(buf, &n));   // the peer has closed: success with 0 bytes
  EXPECT_EQ(n, 0u);
  ASSERT_TRUE(server.WaitForRequests(1, 2000));
  EXPECT_EQ(server.Requests()[0], head + "12345");
}

TEST(EventSocket, ConnectWhenConnectedDoesNothing) {
  CLoopbackServer server;
  CEventSocket socket;
  ASSERT_TRUE(socket.Connect("localhost", server.Port()));
  ASSERT_TRUE(socket.Connect("no.such.host.invalid", 1));   // no resolution, no traffic
  socket.Close();
  EXPECT_FALSE(socket.IsConnected());
  socket.Close();   // closing twice is harmless
  ASSERT_TRUE(socket.Connect("127.0.0.1", server.Port()));
  EXPECT_TRUE(server.WaitForConnections(2, 2000));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(server.ConnectionCount(), 2);
}

TEST(EventSocket, NameThatDoesNotResolveKeepsTheResolverError) {
  CEventSocket socket;
  EXPECT_FALSE(socket.Connect("nonexistent.invalid", 80));
  EXPECT_NE(socket.GetLastError(), 0);
  EXPECT_FALSE(socket.IsConnected());
  CResolvedAddress address;
  EXPECT_NE(address.Resolve("nonexistent.invalid", 80), 0);
  EXPECT_TRUE(address.IsEmpty());
  ASSERT_EQ(address.Resolve("127.0.0.1", 80), 0);
  EXPECT_EQ(platform::AddressCount(address.Get()), 1u);
}

TEST(EventSocket, RefusedConnectionKeepsThePlatformError) {
  CEventSocket socket;
  EXPECT_FALSE(socket.Connect("127.0.0.1", ClosedPort()));
  EXPECT_EQ(socket.GetLastError(), ECONNREFUSED);
  EXPECT_FALSE(socket.IsConnected());
}

TEST(EventSocket, ConnectThatNeverCompletesGivesUpAfterTheTimeout) {
  // A listener that never accepts, with its queue full: the kernel drops
  // further connection requests, so a new connect waits without an answer.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  socklen_t len = sizeof addr;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  std::vector<int> fillers;
  for (int i = 0; i < 8; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    fillers.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));

  CEventSocket socket;
  socket.SetSocketTimeout(300);
  const auto start = Clock::now();
  EXPECT_FALSE(socket.Connect("127.0.0.1", ntohs(addr.sin_port)));
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(290));
  EXPECT_LT(took, std::chrono::milliseconds(3000));
  EXPECT_FALSE(socket.IsConnected());
  EXPECT_EQ(socket.GetLastError(), 0);   // a mere time-out stores nothing
  for (int fd : fillers) ::close(fd);
  ::close(listener);
}

TEST(EventSocket, ReadAndWriteBeforeConnectAreRefusedAsNotConnected) {
  CEventSocket socket;
  char buf[8];
  std::size_t n = sizeof buf;
  EXPECT_FALSE(socket.Read(buf, &n));
  EXPECT_EQ(socket.GetLastError(), kSocketErrorNotConnected);
  EXPECT_EQ(n, 0u);
  std::size_t len = 3;
  EXPECT_FALSE(socket.Write("abc", &len));
  EXPECT_EQ(socket.GetLastError(), kSocketErrorNotConnected);
  EXPECT_EQ(len, 0u);
}

TEST(EventSocket, ReadOnASilentServerTimesOutAndAbandonsTheSocket) {
  CLoopbackServer server;
  server.AddReply(LoopbackReply::Silent());
  CEventSocket socket;
  EXPECT_EQ(socket.SetSocketTimeout(250), kDefaultSocketTimeoutMs);
  ASSERT_TRUE(socket.Connect("127.0.0.1", server.Port()));
  std::size_t len = 4;
  ASSERT_TRUE(socket.Write("x\r\n\r\n", &len));
  const int errorBefore = socket.GetLastError();
  char buf[64];
  std::size_t n = sizeof buf;
  const auto start = Clock::now();
  EXPECT_FALSE(socket.Read(buf, &n));
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(240));
  EXPECT_LT(took, std::chrono::milliseconds(3000));
  EXPECT_EQ(socket.GetLastError(), errorBefore);   // a mere time-out stores nothing
  EXPECT_FALSE(socket.IsConnected());              // the operation was abandoned
}

TEST(EventSocket, WriteToAPeerThatNeverReadsTimesOut) {
  CDeafListener deaf;
  CEventSocket socket;
  socket.SetSocketTimeout(300);
  ASSERT_TRUE(socket.Connect("127.0.0.1", deaf.Port()));
  const std::string big(64u << 20, 'z');
  std::size_t len = big.size();
  const auto start = Clock::now();
  EXPECT_FALSE(socket.Write(big.data(), &len));
  EXPECT_LT(len, big.size());
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(5000));
  EXPECT_FALSE(socket.IsConnected());
}

TEST(EventSocket, LargeWriteGoesOutWhole) {
  CLoopbackServer server;
  server.AddReply("ok", true);
  CEventSocket socket;
  ASSERT_TRUE(socket.Connect("127.0.0.1", server.Port()));
  std::string request = "POST / HTTP/1.1\r\nContent-Length: 8000000\r\n\r\n";
  request += std::string(8000000, 'b');
  std::size_t len = request.size();
  ASSERT_TRUE(socket.Write(request.data(), &len));
  EXPECT_EQ(len, request.size());
  EXPECT_EQ(ReadAll(socket), "ok");
  ASSERT_TRUE(server.WaitForRequests(1, 2000));
  EXPECT_EQ(server.Requests()[0].size(), request.size());
}

TEST(EventSocket, SecondReadWhileOneIsPendingIsRefusedAsInProgress) {
  CLoopbackServer server;
  server.AddReply(LoopbackReply::Silent());
  CEventSocket socket;
  socket.SetSocketTimeout(1500);
  ASSERT_TRUE(socket.Connect("127.0.0.1", server.Port()));
  std::size_t len = 4;
  ASSERT_TRUE(socket.Write("x\r\n\r\n", &len));
  std::atomic<bool> started{false};
  std::thread pending([&] {
    char buf[8];
    std::size_t n = sizeof buf;
    started = true;
    socket.Read(buf, &n);
  });
  while (!started) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  char buf[8];
  std::size_t n = sizeof buf;
  EXPECT_FALSE(socket.Read(buf, &n));
  EXPECT_EQ(socket.GetLastError(), kSocketErrorInProgress);
  pending.join();
}

TEST(EventSocket, SecondWriteWhileOneIsPendingIsRefusedAsInProgress) {
  CDeafListener deaf;
  CEventSocket socket;
  socket.SetSocketTimeout(1500);
  ASSERT_TRUE(socket.Connect("127.0.0.1", deaf.Port()));
  const std::string big(64u << 20, 'z');   // more than the socket buffers hold: the send waits
  std::atomic<bool> started{false};
  std::thread pending([&] {
    std::size_t len = big.size();
    started = true;
    socket.Write(big.data(), &len);
  });
  while (!started) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::size_t len = 3;
  EXPECT_FALSE(socket.Write("abc", &len));
  EXPECT_EQ(socket.GetLastError(), kSocketErrorInProgress);
  EXPECT_EQ(len, 0u);
  pending.join();
}
