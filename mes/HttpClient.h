// HTTP/1.1 client: builds the request head, sends head and body, reads and
// splits the response, judges its status and follows redirects. Plain http
// only; every socket wait is bounded by the options' time-out and the whole
// exchange (redirects included) by an overall deadline.
//
// Usage:
//   CHttpClientT<> client;
//   NavigateOptions o; o.strMethod = "POST"; o.pBody = body.data(); o.nBodyLength = body.size();
//   if (client.Navigate("http://host:8080/path", &o)) use(client.GetBody(), client.GetBodyLength());
//   client.GetStatus();   // -1 when no status line was read
//
// TSocket is CEventSocket in the module; it needs Connect, both Write forms,
// Read, SetSocketTimeout, IsConnected, Close and GetLastError.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "mes/EventSocket.h"
#include "mes/HttpResponseReader.h"
#include "mes/HttpUrl.h"

namespace mes {

inline constexpr unsigned kNavigateFollowRedirects = 1;
inline constexpr unsigned kNavigateJudgeStatus = 2;
inline constexpr unsigned kNavigateSendInBlocks = 8;
inline constexpr unsigned kNavigateDefaultFlags =
    kNavigateFollowRedirects | kNavigateJudgeStatus | kNavigateSendInBlocks;

// A chain of redirects longer than this fails the exchange.
inline constexpr int kDefaultMaxRedirects = 10;
// No exchange may hold the calling thread longer than this, however the
// server trickles its bytes.
inline constexpr int kDefaultExchangeDeadlineMs = 60000;
// A response (headers and body) larger than this fails the exchange.
inline constexpr std::size_t kDefaultMaxResponseBytes = std::size_t(64) << 20;

// The settings of one exchange.
struct NavigateOptions {
  std::string strExtraHeaders;  // extra request header lines, each ending in CR LF
  std::string strMethod = "GET";
  std::string strContentType;   // body content type; empty: no Content-Type line
  std::size_t nBodyLength = 0;  // bytes of pBody
  unsigned dwFlags = kNavigateDefaultFlags;
  int nSocketTimeout = kDefaultSocketTimeoutMs;  // every socket wait, ms
  std::size_t nSendBlockSize = 4096;             // body write size with kNavigateSendInBlocks
  std::size_t nReadBlockSize = 4096;             // body read size; 0 means 2048
  unsigned short nPort = 80;                     // used when the URL names no port
  const char* pBody = nullptr;
  int nDeadlineMs = kDefaultExchangeDeadlineMs;  // whole exchange; 0: no overall deadline
  int nMaxRedirects = kDefaultMaxRedirects;
  std::size_t nMaxResponseBytes = kDefaultMaxResponseBytes;
};

enum class HttpStatusJudgement { Success, Redirect, Failure };
// 200-206, 304, 305 succeed; 301-303 redirect; everything else (401 and 407
// included: no credentials are ever sent) fails.
HttpStatusJudgement JudgeHttpStatus(int status);

// The request head: request line, Content-Length (when there is a body),
// Content-Type, the extra lines, Host (":port" unless 80), User-Agent, blank line.
std::string BuildHttpRequestHead(std::string_view method, const CHttpUrl& url, const NavigateOptions& options);

// Resolves a Location value against the current URL: a complete URL replaces
// it, "/..." replaces path and extra information, anything else replaces what
// follows the last "/" of the path. A result without a port takes its scheme's.
bool ResolveHttpLocation(const CHttpUrl& current, std::string_view location, CHttpUrl& next);

template <class TSocket = CEventSocket>
class CHttpClientT {
 public:
  CHttpClientT() = default;
  CHttpClientT(const CHttpClientT&) = delete;
  CHttpClientT& operator=(const CHttpClientT&) = delete;

  // True when the exchange ended in a status the options accept (with
  // kNavigateJudgeStatus) or in any complete response (without it).
  bool Navigate(const CHttpUrl* url, const NavigateOptions* options = nullptr);
  bool Navigate(std::string_view url, const NavigateOptions* options = nullptr);

  int GetStatus() const { return m_reader.GetStatus(); }
  bool GetHeaderValue(std::string_view name, std::string& value) const { return m_reader.GetHeader(name, value); }
  const CHttpHeaderMap& GetHeaders() const { return m_reader.GetHeaders(); }
  const char* GetBody() const { return m_reader.GetBody(); }
  std::size_t GetBodyLength() const { return m_reader.GetBodyLength(); }
  HttpReadResult GetLastReadResult() const { return m_lastRead; }
  const CHttpUrl& GetCurrentUrl() const { return m_url; }
  int GetRedirectCount() const { return m_nRedirects; }
  const CHttpResponseReader& GetReader() const { return m_reader; }
  TSocket& GetSocket() { return m_socket; }
  void Close() { m_socket.Close(); }

 private:
  using Clock = std::chrono::steady_clock;

  class SocketSource final : public IHttpByteSource {
   public:
    explicit SocketSource(CHttpClientT& client) : m_client(client) {}
    bool Receive(char* buffer, std::size_t* size) override {
      if (!m_client.ArmWait()) return false;
      return m_client.m_socket.Read(buffer, size);
    }

   private:
    CHttpClientT& m_client;
  };

  bool RunExchange(const CHttpUrl& url);
  bool ConnectTo(const CHttpUrl& url);
  bool SendRequest(bool withBody);
  bool WriteAll(const void* data, std::size_t length);
  bool ReadOneResponse();
  // Bounds the next socket wait by the time-out and the deadline; false once
  // the deadline has passed.
  bool ArmWait();

  TSocket m_socket;
  CHttpResponseReader m_reader;
  CHttpUrl m_url;
  std::string m_strMethod;
  std::string m_strConnectedHost;
  unsigned short m_nConnectedPort = 0;
  NavigateOptions m_options;
  HttpReadResult m_lastRead = HttpReadResult::Complete;
  Clock::time_point m_deadline{};
  bool m_bHasDeadline = false;
  bool m_bDeadlinePassed = false;
  int m_nRedirects = 0;
};

using CHttpClient = CHttpClientT<CEventSocket>;

// ---- implementation ----

template <class TSocket>
bool CHttpClientT<TSocket>::Navigate(std::string_view url, const NavigateOptions* options) {
  CHttpUrl parsed;
  if (!parsed.CrackUrl(url)) {
    m_reader.Reset();
    m_url.Clear();
    return false;
  }
  return Navigate(&parsed, options);
}

template <class TSocket>
bool CHttpClientT<TSocket>::Navigate(const CHttpUrl* url, const NavigateOptions* options) {
  if (url == nullptr) return false;
  m_reader.Reset();
  m_url.Clear();
  m_strMethod.clear();
  m_nRedirects = 0;
  m_lastRead = HttpReadResult::Complete;

  m_options = options ? *options : NavigateOptions{};
  m_strMethod = m_options.strMethod;
  m_bHasDeadline = m_options.nDeadlineMs > 0;
  m_bDeadlinePassed = false;
  if (m_bHasDeadline) m_deadline = Clock::now() + std::chrono::milliseconds(m_options.nDeadlineMs);
  m_socket.SetSocketTimeout(m_options.nSocketTimeout);

  bool ok = false;
  try {
    ok = RunExchange(*url);
  } catch (...) {
    ok = false;
  }
  if (!ok) m_socket.Close();
  m_options = NavigateOptions{};
  return ok;
}

template <class TSocket>
bool CHttpClientT<TSocket>::RunExchange(const CHttpUrl& url) {
  m_url = url;
  if (m_url.GetScheme() != kUrlSchemeHttp) return false;
  if (m_url.GetHostName().empty()) return false;
  if (m_url.GetUrlPath().empty()) m_url.SetUrlPath("/");
  if (m_url.GetPortNumber() == 0) m_url.SetPortNumber(m_options.nPort);

  if (!ConnectTo(m_url)) return false;
  if (!SendRequest(true)) return false;
  if (!ReadOneResponse()) return false;
  if ((m_options.dwFlags & kNavigateJudgeStatus) == 0) return true;

  for (;;) {
    switch (JudgeHttpStatus(m_reader.GetStatus())) {
      case HttpStatusJudgement::Success:
        return true;
      case HttpStatusJudgement::Failure:
        // After a redirect the caller decides by the final status.
        return m_nRedirects > 0;
      case HttpStatusJudgement::Redirect:
        break;
    }
    if ((m_options.dwFlags & kNavigateFollowRedirects) == 0) return false;
    std::string location;
    if (!m_reader.GetHeader("Location", location)) return true;
    if (m_nRedirects >= m_options.nMaxRedirects) return false;
    ++m_nRedirects;

    CHttpUrl next;
    if (!ResolveHttpLocation(m_url, location, next)) return false;
    if (next.GetScheme() != kUrlSchemeHttp || next.GetHostName().empty()) return false;
    if (next.GetUrlPath().empty()) next.SetUrlPath("/");
    m_reader.Reset();
    m_url = next;
    if (!ConnectTo(m_url)) return false;
    if (!SendRequest(true)) return false;
    if (!ReadOneResponse()) return false;
  }
}

template <class TSocket>
bool CHttpClientT<TSocket>::ConnectTo(const CHttpUrl& url) {
  const bool samePlace = EqualsNoCase(m_strConnectedHost, url.GetHostName()) && m_nConnectedPort == url.GetPortNumber();
  if (m_socket.IsConnected() && samePlace) return true;
  m_socket.Close();
  if (!ArmWait()) return false;
  if (!m_socket.Connect(url.GetHostName().c_str(), url.GetPortNumber())) return false;
  m_strConnectedHost = url.GetHostName();
  m_nConnectedPort = url.GetPortNumber();
  return true;
}

template <class TSocket>
bool CHttpClientT<TSocket>::WriteAll(const void* data, std::size_t length) {
  if (!ArmWait()) return false;
  std::size_t sent = length;
  if (!m_socket.Write(data, &sent)) return false;
  return sent == length;
}

template <class TSocket>
bool CHttpClientT<TSocket>::SendRequest(bool withBody) {
  const std::string head = BuildHttpRequestHead(m_strMethod, m_url, m_options);
  const bool hasBody = withBody && m_options.pBody != nullptr && m_options.nBodyLength > 0;
  if (!hasBody) return WriteAll(head.data(), head.size());
  if ((m_options.dwFlags & kNavigateSendInBlocks) == 0) {
    typename TSocket::Buffer buffers[2] = {{head.data(), head.size()}, {m_options.pBody, m_options.nBodyLength}};
    if (!ArmWait()) return false;
    std::size_t sent = 0;
    if (!m_socket.Write(buffers, 2, &sent)) return false;
    return sent == head.size() + m_options.nBodyLength;
  }
  if (!WriteAll(head.data(), head.size())) return false;
  const std::size_t block = m_options.nSendBlockSize ? m_options.nSendBlockSize : 4096;
  for (std::size_t pos = 0; pos < m_options.nBodyLength; pos += block) {
    const std::size_t n = std::min(block, m_options.nBodyLength - pos);
    if (!WriteAll(m_options.pBody + pos, n)) return false;
  }
  return true;
}

template <class TSocket>
bool CHttpClientT<TSocket>::ReadOneResponse() {
  CHttpResponseReader::Limits limits;
  limits.readBlockSize = m_options.nReadBlockSize;
  limits.maxResponseBytes = m_options.nMaxResponseBytes;
  SocketSource source(*this);
  m_lastRead = m_reader.ReadResponse(source, limits, EqualsNoCase(m_strMethod, "HEAD"));
  if (m_lastRead != HttpReadResult::Complete) return false;
  // A body cut short by the deadline is not a body.
  if (m_bDeadlinePassed) return false;
  // The server ends the connection, or the body was framed by its end.
  if (m_reader.HeaderEquals("Connection", "close") || m_reader.ConnectionSpent()) m_socket.Close();
  return true;
}

template <class TSocket>
bool CHttpClientT<TSocket>::ArmWait() {
  int timeout = m_options.nSocketTimeout;
  if (m_bHasDeadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
    if (left <= 0) {
      m_bDeadlinePassed = true;
      return false;
    }
    if (left < timeout) timeout = static_cast<int>(left);
  }
  m_socket.SetSocketTimeout(timeout);
  return true;
}

}  // namespace mes
