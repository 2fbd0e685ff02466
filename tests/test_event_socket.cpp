// The event socket over real loopback TCP: connecting, bounded waits, the codes
// it stores itself, and abandoning an operation that timed out.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

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

namespace {

// Runs `waiting`, which must give up after timeoutMs and not long after, on
// another thread; meanwhile `second` runs on this one.
void ExpectGivesUpAfter(
    int timeoutMs, const std::function<bool()>& waiting, const std::function<void()>& second = [] {}) {
  std::thread pending([&] {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(waiting());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(timeoutMs - 10));
    EXPECT_LT(took, std::chrono::milliseconds(5000));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  second();
  pending.join();
}

}  // namespace

TEST(EventSocket, WritesWholeBuffersAndReadsUntilThePeerCloses) {
  CLoopbackServer server;
  server.AddReply("HTTP/1.1 200 OK\r\n\r\nhello", true);
  mes::CEventSocket socket;
  char buf[4096];
  std::size_t n = 0;
  ASSERT_TRUE(socket.Connect("localhost", server.Port()));  // a name, resolved
  const std::string head = "POST / HTTP/1.1\r\nContent-Length: 8000000\r\n\r\n";
  const std::string body(8000000, 'b');  // far more than one send takes
  const mes::CEventSocket::Buffer buffers[] = {{head.data(), head.size()}, {"", 0}, {body.data(), body.size()}};
  std::size_t sent = 0;
  ASSERT_TRUE(socket.Write(buffers, 3, &sent));
  EXPECT_EQ(sent, head.size() + body.size());
  std::string reply;
  for (n = sizeof buf; socket.Read(buf, &n) && n > 0; n = sizeof buf) reply.append(buf, n);
  EXPECT_EQ(std::pair(reply, n), std::pair(std::string("HTTP/1.1 200 OK\r\n\r\nhello"), std::size_t(0)));
  EXPECT_TRUE(server.Requests().at(0) == head + body);  // recorded before the reply went out
}

// Each wait is bounded; a mere time-out stores no error, and the operation is
// abandoned by closing the socket; a second operation meanwhile is refused.
TEST(EventSocket, WaitsGiveUpAfterTheTimeoutAndRefuseASecondOperationMeanwhile) {
  // A listener that never accepts, with its queue full: the kernel drops
  // further connection requests, so a new connect waits without an answer.
  CLoopbackListener full(0);
  std::vector<int> fillers(8);
  for (int& fd : fillers) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&full.addr), sizeof full.addr);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  mes::CEventSocket connecting;
  EXPECT_EQ(connecting.SetSocketTimeout(300), mes::kDefaultSocketTimeoutMs);
  ExpectGivesUpAfter(300, [&] { return connecting.Connect("127.0.0.1", full.Port()); });
  EXPECT_FALSE(connecting.IsConnected() || connecting.GetLastError() != 0);
  for (int fd : fillers) ::close(fd);

  CLoopbackServer silent;
  silent.AddReply(testsupport::LoopbackReply::Silent());
  mes::CEventSocket reading;
  reading.SetSocketTimeout(1000);
  ASSERT_TRUE(reading.Connect("127.0.0.1", silent.Port()));
  std::size_t len = 4, n = 64, m = 8;
  char buf[64];
  ASSERT_TRUE(reading.Write("x\r\n\r\n", &len));
  ExpectGivesUpAfter(
      1000, [&] { return reading.Read(buf, &n); }, [&] { EXPECT_FALSE(reading.Read(buf, &m)); });
  EXPECT_FALSE(reading.IsConnected());
  EXPECT_EQ(reading.GetLastError(), mes::kSocketErrorInProgress);  // the time-out stored nothing over it

  CLoopbackListener deaf;
  mes::CEventSocket writing;
  writing.SetSocketTimeout(1000);
  ASSERT_TRUE(writing.Connect("127.0.0.1", deaf.Port()));
  const std::string big(64u << 20, 'z');  // more than the socket buffers hold: the send waits
  len = big.size();
  ExpectGivesUpAfter(
      1000, [&] { return writing.Write(big.data(), &len); },
      [&] {
        m = 3;
        EXPECT_FALSE(writing.Write("abc", &m) || m != 0);
      });
  EXPECT_LT(len, big.size());
  EXPECT_FALSE(writing.IsConnected());
  EXPECT_EQ(writing.GetLastError(), mes::kSocketErrorInProgress);
}
