// One attempt to deliver a report to the MES, judged for the outbox: was it
// taken, refused by the service (never to be sent again by itself), or did
// the attempt fail on the way (to be sent again later)?
#pragma once

#include <atomic>
#include <string>

#include "mes/SoapClientError.h"
#include "mes/SoapFault.h"
#include "results/MesUploadValues.h"

namespace results {

enum class MesDeliveryOutcome { Delivered, Refused, Failed };

struct MesDeliveryResult {
  MesDeliveryOutcome outcome = MesDeliveryOutcome::Failed;
  std::string strReason;  // UTF-8, for the technician; empty when delivered
};

// What the proxy reported about a finished call.
struct MesCallReport {
  mes::SoapStatus status = mes::kSoapFail;
  mes::SoapClientError kind = mes::SoapClientError::Success;
  int nHttpStatus = -1;         // -1: no status line was read
  bool bReplyComplete = false;  // the whole reply (head and body) arrived
  mes::SoapFault fault;         // filled when kind is SoapFault
};

// Refused: a SOAP Fault (any HTTP status carrying a readable fault), a
// complete 4xx reply other than 408, 425 and 429, a request that cannot be
// written, and a 200 reply that cannot be read (the service may have stored
// it: sending it again blindly could report the unit twice). Everything else
// that is not a success is a failure on the way: no connection, time-outs,
// a cut reply, 5xx without a fault.
MesDeliveryResult JudgeMesCall(const MesCallReport& call);

// Sends the values with a new client for strUrl, as SendMesUpload does, and
// judges the outcome. With pStop, a set flag ends the attempt after the
// socket wait in progress (a failure). nSocketTimeoutMs 0 keeps the client's
// time-out for each socket wait.
MesDeliveryResult DeliverMesUpload(const MesUploadValues& values, const std::string& strUrl,
                                   const std::atomic<bool>* pStop = nullptr, int nSocketTimeoutMs = 0);

}  // namespace results
