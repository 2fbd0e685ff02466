// The HTTP client over loopback TCP, through a socket that records every
// connect and every write (to see exactly what goes out in which write) and
// takes any host and port it is asked for to the test's loopback server.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <tuple>
#include <vector>

#include "mes/EventSocket.h"
#include "mes/HttpClient.h"
#include "mes/SoapHttpTransport.h"
#include "tests/support/LoopbackServer.h"

using testsupport::CLoopbackServer;
using testsupport::LoopbackReply;

namespace {

class CRecordingSocket : public mes::CEventSocket {
 public:
  bool Connect(const char* host, unsigned short port) {
    if (!IsConnected()) connects.push_back(std::string(host) + ":" + std::to_string(port));
    return mes::CEventSocket::Connect("127.0.0.1", server->Port());
  }
  bool Write(const Buffer* buffers, std::size_t count, std::size_t* sent) {
    writes.emplace_back();
    for (std::size_t i = 0; i < count; ++i)
      writes.back().append(static_cast<const char*>(buffers[i].data), buffers[i].length);
    return mes::CEventSocket::Write(buffers, count, sent);
  }
  bool Write(const void* data, std::size_t* length) {
    writes.emplace_back(static_cast<const char*>(data), *length);
    return mes::CEventSocket::Write(data, length);
  }
  int SetSocketTimeout(int ms) {
    timeouts.push_back(ms);
    return mes::CEventSocket::SetSocketTimeout(ms);
  }

  const CLoopbackServer* server = nullptr;
  std::vector<std::string> connects, writes;
  std::vector<int> timeouts;
};
// A client whose every connection goes to its own loopback server.
struct RecordingClient : mes::CHttpClientT<CRecordingSocket> {
  RecordingClient() { GetSocket().server = &server; }
  CLoopbackServer server;
};

const char kOk[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

template <class T>
std::string Body(const mes::CHttpClientT<T>& c) {
  return std::string(c.GetBody(), c.GetBodyLength());
}

mes::NavigateOptions Post(const std::string& body) {
  mes::NavigateOptions o;
  o.strMethod = "POST";
  o.strContentType = "text/xml; charset=utf-8";
  o.strExtraHeaders = "SOAPAction: \"A\"\r\nAccept: text/xml\r\n";
  o.pBody = body.data();
  o.nBodyLength = body.size();
  return o;
}
// The options only point at the body: it must outlive them.
mes::NavigateOptions Post(std::string&&) = delete;

}  // namespace

TEST(HttpClient, HeadGoesInOneWriteTheBodyIn4096ByteBlocksEveryWaitBounded) {
  RecordingClient client;
  client.server.AddReply(kOk);
  auto& s = client.GetSocket();
  const std::string body(4096 * 2 + 100, 'b');
  mes::NavigateOptions o = Post(body);
  o.nSocketTimeout = 1234;
  ASSERT_TRUE(client.Navigate("http://mes/querysn/cs_querysn.asmx", &o));
  ASSERT_EQ(s.writes.size(), 4u);
  EXPECT_EQ(s.writes[0],
            "POST /querysn/cs_querysn.asmx HTTP/1.1\r\nContent-Length: 8292\r\n"
            "Content-Type: text/xml; charset=utf-8\r\nSOAPAction: \"A\"\r\nAccept: text/xml\r\n"
            "Host: mes\r\nUser-Agent: Monitor-SoapClient/1.0\r\n\r\n");
  EXPECT_EQ(std::vector(s.writes.begin() + 1, s.writes.end()),
            (std::vector<std::string>{std::string(4096, 'b'), std::string(4096, 'b'), std::string(100, 'b')}));
  EXPECT_EQ(std::pair(client.GetStatus(), Body(client)), std::pair(200, std::string("ok")));
  ASSERT_FALSE(s.timeouts.empty());
  for (int t : s.timeouts) EXPECT_TRUE(t <= 1234 && t > 1000) << t;  // the options' time-out bounds every wait
  EXPECT_EQ(client.server.Requests()[0], s.writes[0] + body);        // all of it arrived
}

// The SOAP transport writes a usual envelope with its head in one write; a
// large one in 64 KiB blocks, each with its own time-out, so that a slow link
// is not held to one time-out for the whole request.
TEST(HttpClient, SoapTransportWritesAUsualEnvelopeWithItsHeadAtOnce) {
  for (const std::size_t size : {mes::kSoapSingleWriteBytes, 3 * mes::kSoapSingleWriteBytes + 5}) {
    SCOPED_TRACE(size);
    CLoopbackServer server;
    server.AddReply(kOk);
    mes::CSoapHttpTransportT<CRecordingSocket> transport("http://mes/querysn/cs_querysn.asmx");
    transport.GetHttpClient().GetSocket().server = &server;
    transport.CleanupClient();
    const std::string envelope(size, 'e');
    ASSERT_TRUE(transport.GetWriteStream().Write(envelope));
    ASSERT_EQ(transport.SendRequest("SOAPAction: \"A\"\r\n"), mes::kSoapOk);
    const std::vector<std::string>& writes = transport.GetHttpClient().GetSocket().writes;
    std::string sent;
    for (const std::string& w : writes) sent += w;
    EXPECT_EQ(sent.substr(sent.find("\r\n\r\n") + 4), envelope);
    // One write, or the head alone, three blocks and the rest.
    EXPECT_EQ(writes.size(), size == mes::kSoapSingleWriteBytes ? 1u : 5u);
  }
}

TEST(HttpClient, OnlyPlainHttpWithAHostIsCarried) {
  RecordingClient client;
  for (const char* url : {"https://mes/querysn/cs_querysn.asmx", "ftp://mes/file", "file:///etc/passwd", "not a url"})
    EXPECT_FALSE(client.Navigate(url)) << url;
  EXPECT_EQ(client.GetSocket().connects.size() + client.GetSocket().writes.size(), 0u);
  EXPECT_EQ(client.GetStatus(), -1);
}

TEST(HttpClient, RedirectsResendToTheResolvedPlaceReconnectingOnlyWhenItChanges) {
  RecordingClient client;
  client.server.AddReply("HTTP/1.1 302 Found\r\nLocation: /other.asmx\r\nContent-Length: 0\r\n\r\n");
  client.server.AddReply("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nmoved");
  const std::string body = "<envelope/>";
  const mes::NavigateOptions o = Post(body);
  ASSERT_TRUE(client.Navigate("http://mes/querysn/cs_querysn.asmx", &o));
  const auto& w = client.GetSocket().writes;
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[2].substr(0, w[2].find("\r\n")), "POST /other.asmx HTTP/1.1");
  EXPECT_NE(w[2].find("Content-Length: 11\r\nContent-Type: text/xml; charset=utf-8\r\nSOAPAction: \"A\"\r\n"),
            std::string::npos);
  EXPECT_EQ(w[3], body);
  EXPECT_EQ(client.GetSocket().connects.size(), 1u);  // same host and port: same connection
  EXPECT_EQ(std::tuple(Body(client), client.GetCurrentUrl().CreateUrl(), client.GetRedirectCount()),
            std::tuple(std::string("moved"), std::string("http://mes/other.asmx"), 1));

  // Another host or port, or "Connection: close", means a new connection.
  RecordingClient moving;
  moving.server.AddReply("HTTP/1.1 301 Moved\r\nLocation: http://Other:8080/x\r\nContent-Length: 0\r\n\r\n");
  moving.server.AddReply("HTTP/1.1 303 See Other\r\nLocation: y\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
  moving.server.AddReply(kOk);
  ASSERT_TRUE(moving.Navigate("http://mes/a/b"));
  auto& s = moving.GetSocket();
  EXPECT_EQ(s.connects, (std::vector<std::string>{"mes:80", "Other:8080", "Other:8080"}));
  EXPECT_NE(s.writes.back().find("GET /y HTTP/1.1\r\nHost: Other:8080\r\n"), std::string::npos);
  EXPECT_EQ(moving.GetRedirectCount(), 2);

  RecordingClient endless;
  endless.server.SetHandler([](const std::string&) {
    return LoopbackReply::Bytes("HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\n\r\n");
  });
  EXPECT_FALSE(endless.Navigate("http://mes/"));
  EXPECT_EQ(endless.GetRedirectCount(), mes::kDefaultMaxRedirects);
  EXPECT_EQ(endless.GetSocket().writes.size(), static_cast<std::size_t>(mes::kDefaultMaxRedirects + 1));
  EXPECT_FALSE(endless.GetSocket().IsConnected());
}

TEST(HttpClient, StatusJudgingRedirectsThatCannotBeFollowedAndTheReplyCap) {
  const std::string k401 = "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=x\r\nContent-Length: 0\r\n\r\n";
  const std::string k500 = "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 3\r\n\r\nbad";
  struct Case {
    std::string reply;
    unsigned flags;
    bool ok;
    int status = 0;  // 0: not checked
  } cases[] = {
      {k401, mes::kNavigateDefaultFlags, false, 401},  // no credentials, no retry
      {k500, mes::kNavigateDefaultFlags, false, 500},
      {k500, 0, true, 500},  // unjudged, any status is an answer
      {"HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n", mes::kNavigateJudgeStatus, false, 302},
      {"HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n", mes::kNavigateDefaultFlags, true, 302},  // no Location
      {"HTTP/1.1 302 Found\r\nLocation: https://mes/\r\nContent-Length: 0\r\n\r\n", mes::kNavigateDefaultFlags, false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(5000, 'x'), mes::kNavigateDefaultFlags, false},
  };
  for (const Case& c : cases) {
    RecordingClient client;
    client.server.AddReply(c.reply);
    mes::NavigateOptions o;
    o.dwFlags = c.flags;
    o.nMaxResponseBytes = 4000;
    EXPECT_EQ(client.Navigate("http://mes/", &o), c.ok) << c.reply;
    if (c.status) EXPECT_EQ(client.GetStatus(), c.status) << c.reply;
    EXPECT_EQ(client.GetSocket().writes.size(), 1u) << c.reply;
    if (!c.ok) EXPECT_FALSE(client.GetSocket().IsConnected()) << c.reply;  // a failure closes the socket
  }
}

TEST(HttpClient, TricklingServerIsCutOffByTheOverallDeadline) {
  CLoopbackServer server;
  // Each byte arrives well within the socket time-out, but the whole reply would take ~6 s.
  server.AddReply(LoopbackReply::Trickle("HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n" + std::string(40, 'x'), 60));
  mes::CHttpClient client;
  mes::NavigateOptions o;
  o.nSocketTimeout = 1000;
  o.nDeadlineMs = 700;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.Navigate(server.Url("/"), &o));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
}
