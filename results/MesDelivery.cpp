#include "results/MesDelivery.h"

#include <exception>

#include "mes/CS_QuerySN.h"
#include "results/MesUpload.h"
#include "mes/StoppableSocket.h"
#include "platform/TextCodec.h"

using mes::CSoapHttpTransportT;
using mes::CStoppableSocket;
using mes::HttpReadResult;
using mes::SoapClientError;
using mes::SoapSucceeded;
using mes::SoapText;

namespace results {

namespace {

std::string Utf8(const std::u16string& text) {
  return platform::GbkToUtf8(platform::Utf16ToGbk(text));
}

MesDeliveryResult Failed(std::string reason) {
  return {MesDeliveryOutcome::Failed, std::move(reason)};
}
MesDeliveryResult Refused(std::string reason) {
  return {MesDeliveryOutcome::Refused, std::move(reason)};
}

std::string HttpStatusText(int status) {
  return "HTTP " + std::to_string(status);
}

}  // namespace

MesDeliveryResult JudgeMesCall(const MesCallReport& call) {
  if (SoapSucceeded(call.status)) return {MesDeliveryOutcome::Delivered, {}};
  const int http = call.nHttpStatus;
  switch (call.kind) {
    case SoapClientError::SoapFault:
      if (!call.bReplyComplete) return Failed(HttpStatusText(http) + " cut short");
      return Refused("SOAP Fault " + Utf8(call.fault.m_strCode) + ": " + Utf8(call.fault.m_strString));
    case SoapClientError::ParseFaultError:
      return Failed(HttpStatusText(http) + " without a readable SOAP Fault");
    case SoapClientError::GenerateError:
      return Refused("the request could not be written");
    case SoapClientError::ReadError:
    case SoapClientError::ParseError:
      if (!call.bReplyComplete) return Failed(HttpStatusText(http) + " cut short");
      return Refused(HttpStatusText(http) + " with a reply that could not be read (the MES may have stored it)");
    case SoapClientError::SendError:
    case SoapClientError::ServerError:
      if (http >= 400 && http <= 499 && http != 408 && http != 425 && http != 429 && call.bReplyComplete) {
        return Refused(HttpStatusText(http));
      }
      if (http < 0) return Failed("no reply (no connection, time-out or connection closed)");
      return Failed(HttpStatusText(http) + (call.bReplyComplete ? "" : " cut short"));
    case SoapClientError::Success:
    case SoapClientError::InitializeError:
    case SoapClientError::OutOfMemory:
      break;
  }
  return Failed("the client failed (kind " + std::to_string(static_cast<int>(call.kind)) + ")");
}

MesDeliveryResult DeliverMesUpload(const MesUploadValues& values, const std::string& strUrl,
                                   const std::atomic<bool>* pStop, int nSocketTimeoutMs) {
  try {
    mes::CS_QuerySN::CCS_QuerySNT<CSoapHttpTransportT<CStoppableSocket>> proxy(strUrl);
    auto& http = proxy.GetClient().GetHttpClient();
    http.GetSocket().SetStopFlag(pStop);
    proxy.GetClient().SetTimeout(nSocketTimeoutMs);
    SoapText answer;
    MesCallReport call;
    call.status = CallIoUpDataCommon(proxy, values, &answer);
    call.kind = proxy.GetClientError();
    call.nHttpStatus = http.GetStatus();
    call.bReplyComplete = call.nHttpStatus >= 0 && http.GetLastReadResult() == HttpReadResult::Complete;
    call.fault = proxy.GetFault();
    return JudgeMesCall(call);
  } catch (const std::exception& e) {
    return Failed(std::string("the client failed: ") + e.what());
  }
}

}  // namespace results
