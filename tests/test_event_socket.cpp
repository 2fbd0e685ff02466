// The event socket over real loopback TCP: connecting, bounded waits, the codes
// it stores itself, and abandoning an operation that timed out.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "mes/EventSocket.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/LoopbackServer.h"

using testsupport::CLoopbackListener;
using testsupport::CLoopbackServer;
using testsupport::LoopbackReply;

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadAll(mes::CEventSocket& socket) {
  std::string all;
  char buf[4096];
  for (;;) {
    std::size_t n = sizeof buf;
    if (!socket.Read(buf, &n) || n == 0) return all;
    all.append(buf, n);
  }
}

// Runs `operation` on another thread until it is under way, then `second` on this one.
void WhilePending(const std::function<void()>& operation, const std::function<void()>& second) {
  std::atomic<bool> started{false};
  std::thread pending([&] {
    started = true;
    operation();
  });
  while (!started) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  second();
  pending.join();
}

// A socket operation that must fail once the time-out has passed, not long after.
void ExpectGivesUpAfter(int timeoutMs, const std::function<bool()>& operation) {
  const auto start = Clock::now();
  EXPECT_FALSE(operation());
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(timeoutMs - 10));
  EXPECT_LT(took, std::chrono::milliseconds(5000));
}

}  // namespace

TEST(EventSocket, ConnectsWritesWholeBuffersAndReadsUntilThePeerCloses) {
  CLoopbackServer server;
  server.AddReply("HTTP/1.1 200 OK\r\n\r\nhello", true);
  mes::CEventSocket socket;
  ASSERT_TRUE(socket.Connect("127.0.0.1", server.Port()));
  EXPECT_TRUE(socket.IsConnected());
  const std::string head = "POST / HTTP/1.1\r\nContent-Length: 8000000\r\n\r\n";
  const std::string body(8000000, 'b');  // far more than one send takes
  const mes::CEventSocket::Buffer buffers[] = {{head.data(), head.size()}, {"", 0}, {body.data(), body.size()}};
  std::size_t sent = 0;
  ASSERT_TRUE(socket.Write(buffers, 3, &sent));
  EXPECT_EQ(sent, head.size() + body.size());
  EXPECT_EQ(ReadAll(socket), "HTTP/1.1 200 OK\r\n\r\nhello");
  std::size_t n = 16;
  char buf[16];
  EXPECT_TRUE(socket.Read(buf, &n));  // the peer has closed: success with 0 bytes
  EXPECT_EQ(n, 0u);
  ASSERT_TRUE(server.WaitForRequests(1, 2000));
  EXPECT_TRUE(server.Requests()[0] == head + body);
}

TEST(EventSocket, ConnectWhenConnectedDoesNothingClosedRefusesIoFailuresKeepThePlatformError) {
  CLoopbackServer server;
  mes::CEventSocket socket;
  ASSERT_TRUE(socket.Connect("localhost", server.Port()));
  ASSERT_TRUE(socket.Connect("no.such.host.invalid", 1));  // no resolution, no traffic
  socket.Close();
  EXPECT_FALSE(socket.IsConnected());
  socket.Close();  // closing twice is harmless
  mes::CEventSocket fresh;
  for (mes::CEventSocket* unconnected : {&socket, &fresh}) {  // closed, and never connected
    char buf[8];
    std::size_t n = sizeof buf, len = 3;
    EXPECT_FALSE(unconnected->Read(buf, &n));
    EXPECT_EQ(unconnected->GetLastError(), mes::kSocketErrorNotConnected);
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(unconnected->Write("abc", &len));
    EXPECT_EQ(unconnected->GetLastError(), mes::kSocketErrorNotConnected);
    EXPECT_EQ(len, 0u);
  }
  ASSERT_TRUE(socket.Connect("127.0.0.1", server.Port()));
  std::size_t len = 5;
  ASSERT_TRUE(socket.Write("x\r\n\r\n", &len));
  // Connections are accepted in order: once this one's request is in, all are counted.
  ASSERT_TRUE(server.WaitForRequests(1, 2000));
  EXPECT_EQ(server.ConnectionCount(), 2);

  const unsigned short port = server.Port();
  server.Stop();
  for (const char* host : {"127.0.0.1", "nonexistent.invalid"}) {
    mes::CEventSocket refused;
    EXPECT_FALSE(refused.Connect(host, port)) << host;
    EXPECT_NE(refused.GetLastError(), 0) << host;  // the resolver's or the platform's error
    if (host[0] == '1') EXPECT_EQ(refused.GetLastError(), ECONNREFUSED);
    EXPECT_FALSE(refused.IsConnected()) << host;
  }
}

// Each wait is bounded; a mere time-out stores no error, and the operation is
// abandoned by closing the socket.
TEST(EventSocket, ConnectGivesUpAfterTheTimeout) {
  // A listener that never accepts, with its queue full: the kernel drops
  // further connection requests, so a new connect waits without an answer.
  CLoopbackListener full(0);
  std::vector<int> fillers;
  for (int i = 0; i < 8; ++i) {
    fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
    ::connect(fillers.back(), reinterpret_cast<sockaddr*>(&full.addr), sizeof full.addr);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  mes::CEventSocket connecting;
  EXPECT_EQ(connecting.SetSocketTimeout(300), mes::kDefaultSocketTimeoutMs);
  ExpectGivesUpAfter(300, [&] { return connecting.Connect("127.0.0.1", full.Port()); });
  EXPECT_FALSE(connecting.IsConnected());
  EXPECT_EQ(connecting.GetLastError(), 0);
  for (int fd : fillers) ::close(fd);
}

// A read or write that waits gives up after the time-out, storing no error,
// and abandons the operation by closing; a second one meanwhile is refused.
TEST(EventSocket, WaitingReadOrWriteGivesUpAfterTheTimeoutAndRefusesASecondMeanwhile) {
  CLoopbackServer silent;
  silent.AddReply(LoopbackReply::Silent());
  mes::CEventSocket reading;
  reading.SetSocketTimeout(1000);
  ASSERT_TRUE(reading.Connect("127.0.0.1", silent.Port()));
  std::size_t len = 4;
  ASSERT_TRUE(reading.Write("x\r\n\r\n", &len));
  char buf[64];
  std::size_t n = sizeof buf;
  WhilePending([&] { ExpectGivesUpAfter(1000, [&] { return reading.Read(buf, &n); }); },
               [&] {
                 char other[8];
                 std::size_t m = sizeof other;
                 EXPECT_FALSE(reading.Read(other, &m));
                 EXPECT_EQ(reading.GetLastError(), mes::kSocketErrorInProgress);
               });
  EXPECT_FALSE(reading.IsConnected());
  EXPECT_EQ(reading.GetLastError(), mes::kSocketErrorInProgress);  // the time-out stored nothing over it

  CLoopbackListener deaf;
  mes::CEventSocket writing;
  writing.SetSocketTimeout(1000);
  ASSERT_TRUE(writing.Connect("127.0.0.1", deaf.Port()));
  const std::string big(64u << 20, 'z');  // more than the socket buffers hold: the send waits
  len = big.size();
  WhilePending([&] { ExpectGivesUpAfter(1000, [&] { return writing.Write(big.data(), &len); }); },
               [&] {
                 std::size_t m = 3;
                 EXPECT_FALSE(writing.Write("abc", &m));
                 EXPECT_EQ(writing.GetLastError(), mes::kSocketErrorInProgress);
                 EXPECT_EQ(m, 0u);
               });
  EXPECT_LT(len, big.size());
  EXPECT_FALSE(writing.IsConnected());
  EXPECT_EQ(writing.GetLastError(), mes::kSocketErrorInProgress);
}
