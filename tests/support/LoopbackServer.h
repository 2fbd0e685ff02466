// A TCP server on 127.0.0.1 for tests: it answers each HTTP request it receives
// with canned bytes (or with what a handler returns), so client code can be
// tested against exact byte streams without any network beyond loopback.
//
// Each accepted connection runs on its own thread and loops: read one request
// (the head up to the blank line, then Content-Length bytes of body), record
// it, take the next queued reply (or ask the handler), play it, and go on with
// the next request on the same connection unless the reply closes it.
//
//   CLoopbackServer server;                                  // binds port 0, starts
//   server.AddReply("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi");
//   client.Navigate(server.Url("/x"));
//   server.Requests()[0];                                    // the request bytes
//
// Queued replies are used first, in order, across all connections; when none
// is left the handler answers; with neither the connection is closed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testsupport {

struct LoopbackReply {
  struct Piece {
    std::string bytes;
    int delayMsBefore = 0;  // pause before these bytes go out
  };
  std::vector<Piece> pieces;
  bool closeAfter = false;   // close the connection once the reply is out
  bool neverAnswer = false;  // keep the connection open and silent until the client or the server ends it

  static LoopbackReply Bytes(std::string bytes, bool closeAfter = false) { return {{{std::move(bytes)}}, closeAfter}; }
  // The bytes one at a time, each after delayMs, then the close.
  static LoopbackReply Trickle(std::string_view bytes, int delayMs);
  static LoopbackReply Silent() { return {{}, false, true}; }
};

class CLoopbackServer {
 public:
  using Handler = std::function<LoopbackReply(const std::string& request)>;

  CLoopbackServer();  // listens on 127.0.0.1 with a port the system picks
  ~CLoopbackServer() { Stop(); }
  CLoopbackServer(const CLoopbackServer&) = delete;
  CLoopbackServer& operator=(const CLoopbackServer&) = delete;

  unsigned short Port() const { return m_nPort; }
  // "http://127.0.0.1:<port>" + path
  std::string Url(std::string_view path = "/") const {
    return "http://127.0.0.1:" + std::to_string(m_nPort) + (path.starts_with('/') ? "" : "/") + std::string(path);
  }

  void AddReply(LoopbackReply reply);
  void AddReply(std::string bytes, bool closeAfter = false) {
    AddReply(LoopbackReply::Bytes(std::move(bytes), closeAfter));
  }
  void SetHandler(Handler handler);

  // Requests received so far, whole (head and body), in arrival order.
  std::vector<std::string> Requests() const;
  std::size_t RequestCount() const { return Requests().size(); }
  // Connections accepted so far.
  int ConnectionCount() const { return m_nConnections.load(); }

  // Stops accepting, closes every connection, joins the threads. Idempotent.
  void Stop();

 private:
  void Serve(int fd);
  // Appends what arrives within a short wait; false once the peer closed or the server stops.
  bool Receive(int fd, std::string& into);

  int m_listenFd = -1;
  unsigned short m_nPort = 0;
  std::atomic<bool> m_bStopping{false};
  std::atomic<int> m_nConnections{0};
  mutable std::mutex m_mutex;
  std::condition_variable m_cv;  // wakes the pauses between reply pieces on Stop
  std::deque<LoopbackReply> m_replies;
  Handler m_handler;
  std::vector<std::string> m_requests;
  std::vector<int> m_connFds;
  std::thread m_acceptThread;
  std::vector<std::thread> m_connThreads;
};

}  // namespace testsupport
