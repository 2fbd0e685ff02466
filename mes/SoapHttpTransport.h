// The SOAP transport: posts the request text that the envelope writer appended
// to GetWriteStream(), judges the HTTP outcome into a status and an error kind,
// and offers the reply body as a read stream.
//
// One call, as a proxy makes it:
//   CSoapHttpTransportT<> t(CS_QuerySN::kDefaultMesUrl);
//   t.SetFaultReader([&](ISoapReadStream& body, SoapFault& fault) { return ParseFault(body, fault); });
//   t.CleanupClient();                          // empty request, clear fault, kind 0
//   WriteEnvelope(t.GetWriteStream());           // append the request bytes
//   SoapStatus s = t.SendRequest("SOAPAction: \"ns/Op\"\r\n");
//   if (SoapSucceeded(s)) Parse(t.GetReadStream());   // the 200 reply's body
//   t.GetClientError();                          // which stage failed, if any
//   t.ReleaseReadStream();
//
// SendRequest sets the error kind itself: 5 when the exchange failed (no status
// or a status other than 500), 6 for a complete reply with a status other than
// 200/202/500, 7 for 500 (and 8 when the fault reader could not read the body),
// 9 for a 200 reply without a body. On 500 the fault reader is called with the
// reply body and the transport's fault record, already cleared by CleanupClient.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "mes/HttpClient.h"
#include "mes/SoapClientError.h"
#include "mes/SoapFault.h"
#include "mes/SoapStreams.h"

namespace mes {

// Envelopes up to this size are written with their head in one write; larger
// ones in blocks of this size.
inline constexpr std::size_t kSoapSingleWriteBytes = 65536;

template <class TSocket = CEventSocket>
class CSoapHttpTransportT {
 public:
  // Reads a SOAP Fault from a 500 reply's body into the record; a failed
  // status (negative) means the body was not a readable fault.
  using FaultReader = std::function<SoapStatus(ISoapReadStream& body, SoapFault& fault)>;

  CSoapHttpTransportT() = default;
  // The URL is escaped and split; if that fails the endpoint stays empty and
  // every send fails with kind 5.
  explicit CSoapHttpTransportT(std::string_view url) { SetUrl(url); }
  CSoapHttpTransportT(const CSoapHttpTransportT&) = delete;
  CSoapHttpTransportT& operator=(const CSoapHttpTransportT&) = delete;

  bool SetUrl(std::string_view url) {
    m_url.Clear();
    std::string escaped;
    if (!EscapeUrl(url, escaped, kUrlMaxEscapedLength)) return false;
    return m_url.CrackUrl(escaped);
  }
  const CHttpUrl& GetUrl() const { return m_url; }

  CStringWriteStream& GetWriteStream() { return m_writeStream; }

  // Posts the request buffer with the given SOAPAction line (ending in CR LF).
  // Returns kSoapOk or kSoapFail and sets the error kind.
  SoapStatus SendRequest(std::string_view soapActionLine);

  // The body of the last 200 reply; empty (Read returns 0) otherwise.
  CReplyReadStream& GetReadStream() { return m_readStream; }
  void ReleaseReadStream() { m_readStream.Release(); }

  void CleanupClient() {
    m_writeStream.Cleanup();
    m_fault.Clear();
    m_nClientError = SoapClientError::Success;
  }

  SoapClientError GetClientError() const { return m_nClientError; }
  void SetClientError(SoapClientError kind) { m_nClientError = kind; }

  SoapFault& GetFault() { return m_fault; }
  const SoapFault& GetFault() const { return m_fault; }
  void SetFaultReader(FaultReader reader) { m_faultReader = std::move(reader); }

  // Milliseconds for every socket wait; 0 keeps the HTTP default (10000).
  // Returns the previous value.
  int SetTimeout(int timeoutMs) {
    const int previous = m_nTimeout;
    m_nTimeout = timeoutMs;
    return previous;
  }
  int GetTimeout() const { return m_nTimeout; }

  int GetStatusCode() const { return m_httpClient.GetStatus(); }
  CHttpClientT<TSocket>& GetHttpClient() { return m_httpClient; }

 private:
  SoapStatus SendAndJudge(std::string_view soapActionLine);

  CHttpUrl m_url;
  CStringWriteStream m_writeStream;
  CReplyReadStream m_readStream;
  int m_nTimeout = 0;
  SoapClientError m_nClientError = SoapClientError::Success;
  CHttpClientT<TSocket> m_httpClient;
  SoapFault m_fault;
  FaultReader m_faultReader;
};

using CSoapHttpTransport = CSoapHttpTransportT<CEventSocket>;

// ---- implementation ----

template <class TSocket>
SoapStatus CSoapHttpTransportT<TSocket>::SendRequest(std::string_view soapActionLine) {
  m_readStream.Release();
  try {
    return SendAndJudge(soapActionLine);
  } catch (...) {
    return kSoapFail;
  }
}

template <class TSocket>
SoapStatus CSoapHttpTransportT<TSocket>::SendAndJudge(std::string_view soapActionLine) {
  NavigateOptions options;
  options.strExtraHeaders.assign(soapActionLine);
  options.strExtraHeaders += "Accept: text/xml\r\n";
  options.strMethod = "POST";
  options.nPort = m_url.GetPortNumber();
  options.strContentType = "text/xml; charset=utf-8";
  options.pBody = m_writeStream.GetString().data();
  options.nBodyLength = m_writeStream.GetLength();
  // A usual envelope goes out with its head in one gathered write: one pass
  // through the socket layer and one wake-up of the server instead of one per
  // 4096 bytes. A large one is still sent in blocks, each with its own wait,
  // so that a slow link has the time-out for every block, not for the whole.
  if (options.nBodyLength <= kSoapSingleWriteBytes) {
    options.dwFlags &= ~kNavigateSendInBlocks;
  } else {
    options.nSendBlockSize = kSoapSingleWriteBytes;
  }
  if (m_nTimeout != 0) options.nSocketTimeout = m_nTimeout;

  // An empty endpoint fails inside Navigate too, which forgets the last reply's
  // status; judging that stale status would replay an earlier outcome.
  const bool ok = m_httpClient.Navigate(&m_url, &options);
  const int status = m_httpClient.GetStatus();
  if (ok) {
    if (status == 200) {
      if (!m_readStream.Init(m_httpClient.GetBody(), m_httpClient.GetBodyLength())) {
        m_nClientError = SoapClientError::ReadError;
        return kSoapFail;
      }
      return kSoapOk;
    }
    if (status == 202) return kSoapOk;
    m_nClientError = SoapClientError::ServerError;
    return kSoapFail;
  }
  if (status == 500) {
    m_nClientError = SoapClientError::SoapFault;
    CReplyReadStream faultBody;
    if (faultBody.Init(m_httpClient.GetBody(), m_httpClient.GetBodyLength())) {
      const SoapStatus parsed = m_faultReader ? m_faultReader(faultBody, m_fault) : kSoapFail;
      if (SoapFailed(parsed)) m_nClientError = SoapClientError::ParseFaultError;
    }
    return kSoapFail;
  }
  m_nClientError = SoapClientError::SendError;
  return kSoapFail;
}

}  // namespace mes
