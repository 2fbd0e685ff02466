// Judging one attempt: delivered, refused by the MES (parked) or failed on the
// way (sent again) — from the proxy's report, and against canned replies of a
// loopback server.
#include <atomic>

#include "results/MesDelivery.h"
#include "tests/OutboxTestSupport.h"
#include "tests/support/LoopbackServer.h"

namespace {

using Outcome = results::MesDeliveryOutcome;
using Kind = mes::SoapClientError;

TEST(MesDeliveryJudgement, RefusalsAreTheServicesAnswersFailuresTheWays) {
  struct Case {
    mes::SoapStatus status;
    Kind kind;
    int http;
    bool complete;
    Outcome expected;
    const char* reason;  // part of the reason
  } cases[] = {
      {mes::kSoapOk, Kind::Success, 200, true, Outcome::Delivered, ""},
      {mes::kSoapFail, Kind::SoapFault, 500, true, Outcome::Refused, "SOAP Fault Client: unknown unit \xe5\xba\x93"},
      {mes::kSoapFail, Kind::SoapFault, 500, false, Outcome::Failed, "cut short"},
      {mes::kSoapFail, Kind::ParseFaultError, 500, true, Outcome::Failed, "without a readable SOAP Fault"},
      {mes::kSoapFail, Kind::SendError, 404, true, Outcome::Refused, "HTTP 404"},
      {mes::kSoapFail, Kind::SendError, 400, false, Outcome::Failed, "HTTP 400 cut short"},
      {mes::kSoapFail, Kind::SendError, 408, true, Outcome::Failed, "HTTP 408"},
      {mes::kSoapFail, Kind::SendError, 429, true, Outcome::Failed, "HTTP 429"},
      {mes::kSoapFail, Kind::SendError, 503, true, Outcome::Failed, "HTTP 503"},
      {mes::kSoapFail, Kind::SendError, -1, false, Outcome::Failed, "no reply"},
      {mes::kSoapFail, Kind::ServerError, 403, true, Outcome::Refused, "HTTP 403"},  // after a redirect
      {mes::kSoapFail, Kind::ServerError, 204, true, Outcome::Failed, "HTTP 204"},
      {mes::kSoapFail, Kind::ParseError, 200, true, Outcome::Refused, "could not be read"},
      {mes::kSoapFail, Kind::ReadError, 200, false, Outcome::Failed, "cut short"},
      {mes::kSoapFail, Kind::GenerateError, -1, false, Outcome::Refused, "could not be written"},
      {mes::kSoapOutOfMemory, Kind::InitializeError, -1, false, Outcome::Failed, "kind 1"},
  };
  for (const Case& c : cases) {
    results::MesCallReport call{
        .status = c.status, .kind = c.kind, .nHttpStatus = c.http, .bReplyComplete = c.complete};
    call.fault.m_strCode = u"Client";
    call.fault.m_strString = u"unknown unit \u5E93";  // 库: in the reason as UTF-8
    const results::MesDeliveryResult r = results::JudgeMesCall(call);
    EXPECT_EQ(r.outcome, c.expected) << r.strReason;
    EXPECT_NE(r.strReason.find(c.reason), std::string::npos) << r.strReason;
  }
}

TEST(MesDeliveryJudgement, AStopBeforeTheAttemptSendsNothing) {
  testsupport::CLoopbackServer server;
  std::atomic<bool> stop{true};
  const results::MesDeliveryResult r =
      results::DeliverMesUpload(outbox_test::Values("SN1"), server.Url("/querysn/cs_querysn.asmx"), &stop);
  EXPECT_EQ(r.outcome, Outcome::Failed);
  EXPECT_EQ(server.RequestCount(), 0u);
}

}  // namespace
