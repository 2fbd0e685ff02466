// The SOAP transport against the loopback server: how each HTTP outcome
// becomes a status and an error kind (the request it posts is compared byte
// for byte in the proxy's tests).
#include <gtest/gtest.h>

#include <chrono>
#include <tuple>
#include <string>

#include "mes/SoapHttpTransport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/test_soap_streams.h"

using soaptest::HttpReply;
using soaptest::ReadAll;
using testsupport::CLoopbackServer;
using testsupport::LoopbackReply;

namespace {

const char kAction[] = "SOAPAction: \"RO_dErodo/IO_UpData_Common\"\r\n";

struct Outcome {
  mes::SoapStatus status;
  mes::SoapClientError kind;
};

// One send of a fixed envelope.
Outcome SendOnce(mes::CSoapHttpTransport& transport) {
  transport.CleanupClient();
  transport.GetWriteStream().Write("<soap:Envelope/>");
  const mes::SoapStatus status = transport.SendRequest(kAction);
  return {status, transport.GetClientError()};
}

}  // namespace

TEST(SoapHttpTransport, FaultBodyGoesToTheFaultReaderAndUnreadableFaultsAreParseErrors) {
  const std::pair<std::string, std::string> cases[] = {
      // the reply, what the fault reader sees
      {HttpReply("500 Internal Server Error", "not xml at all"), "not xml at all"},
      {"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 500\r\n\r\n<soap:Envelope", "<soap:Envelope"}};
  for (const auto& [reply, body] : cases) {
    CLoopbackServer server;
    server.AddReply(reply, true);
    mes::CSoapHttpTransport transport(server.Url("/"));
    std::string seen;  // a body cut short still reaches the fault reader
    transport.SetFaultReader(
        [&](mes::ISoapReadStream& in, mes::SoapFault&) { return seen = ReadAll(in), mes::kSoapFail; });
    const Outcome o = SendOnce(transport);
    EXPECT_EQ(std::tuple(o.status, o.kind, seen),
              std::tuple(mes::kSoapFail, mes::SoapClientError::ParseFaultError, body));
    EXPECT_EQ(ReadAll(transport.GetReadStream()), "");  // a fault is not a reply to parse
  }
}

TEST(SoapHttpTransport, EndpointUrlIsEscapedBeforeTheQuery) {
  CLoopbackServer server;
  server.AddReply(HttpReply("200 OK", "<r/>"));
  mes::CSoapHttpTransport transport("http://127.0.0.1:" + std::to_string(server.Port()) + "/query sn/a\"b.asmx?x=a b");
  EXPECT_EQ(transport.GetUrl().GetUrlPath(), "/query%20sn/a%22b.asmx");
  EXPECT_EQ(SendOnce(transport).status, mes::kSoapOk);
  EXPECT_EQ(server.Requests()[0].substr(0, 40), "POST /query%20sn/a%22b.asmx?x=a b HTTP/1");
}

TEST(SoapHttpTransport, SilentServerFailsWithinTheTransportTimeout) {
  CLoopbackServer server;
  server.AddReply(LoopbackReply::Silent());
  mes::CSoapHttpTransport transport(server.Url("/"));
  EXPECT_EQ(transport.SetTimeout(300), 0);
  const auto start = std::chrono::steady_clock::now();
  const Outcome o = SendOnce(transport);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5000));
  EXPECT_EQ(std::pair(o.status, o.kind), std::pair(mes::kSoapFail, mes::SoapClientError::SendError));
}
