#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mes/CS_QuerySN.h"
#include "tests/support/LoopbackServer.h"
#include "tests/test_soap_streams.h"

namespace {

using mes::CS_QuerySN::CCS_QuerySN;
using soaptest::HttpReply;
using soaptest::ReplyBody;
using testsupport::CLoopbackServer;

const char kPath[] = "/querysn/cs_querysn.asmx";

const std::string kFaultBody =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>" +
    soaptest::FaultBody(
        "<faultcode>soap:Client</faultcode><faultstring>Server was unable to read request.</faultstring>"
        "<detail><why>bad</why></detail>");

const unsigned char kBlob[] = {0x31, 0x2E};

// One call with the values the MES summary step sends.
mes::SoapStatus Call(CCS_QuerySN& proxy, mes::SoapText* result, const mes::SoapText& bugReason = u"\u4E2D\u6587 <ok>") {
  mes::SoapBlob blob{2, kBlob};
  return proxy.IO_UpData_Common(u"ABC1234", u"ABC1234567", u"00:11:22:33:44:55", std::nullopt, u"PASS", u"", bugReason,
                                blob, blob, blob, u"ST-01", u"ATE", u"user", 0, u"V1.0.3", result);
}

std::string Result(const std::string& text) {
  return ReplyBody("<IO_UpData_CommonResult>" + text + "</IO_UpData_CommonResult>");
}

}  // namespace

TEST(Proxy, PostsTheActionAndTheEnvelopeOfItsArguments) {
  CLoopbackServer server;
  server.AddReply(HttpReply("200 OK", Result("1")));
  CCS_QuerySN proxy(server.Url(kPath));
  mes::SoapText result;
  ASSERT_EQ(Call(proxy, &result), mes::kSoapOk);
  const std::string body =
      "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
      "xmlns:soapenc=\"http://schemas.xmlsoap.org/soap/encoding/\"><soap:Body>"
      "<IO_UpData_Common xmlns=\"RO_dErodo\"><OrderNo>ABC1234</OrderNo><SerialNumber>ABC1234567</SerialNumber>"
      "<MacList>00:11:22:33:44:55</MacList><ComponentSnList xsi:nil=\"1\"/><DealResult>PASS</DealResult>"
      "<BugType></BugType><BugReason>&#x4E2D;&#x6587; &lt;ok&gt;</BugReason><TempColumn1>MS4=</TempColumn1>"
      "<TempColumn2>MS4=</TempColumn2><TempColumn3>MS4=</TempColumn3><WorkStation>ST-01</WorkStation>"
      "<ToolType>ATE</ToolType><Recorder>user</Recorder><SystemType>0</SystemType><Version>V1.0.3</Version>"
      "</IO_UpData_Common></soap:Body></soap:Envelope>";
  EXPECT_EQ(server.Requests(),
            std::vector<std::string>{
                "POST /querysn/cs_querysn.asmx HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\nContent-Type: text/xml; charset=utf-8\r\n"
                "SOAPAction: \"RO_dErodo/IO_UpData_Common\"\r\nAccept: text/xml\r\n"
                "Host: 127.0.0.1:" +
                std::to_string(server.Port()) + "\r\nUser-Agent: Monitor-SoapClient/1.0\r\n\r\n" + body});
}

TEST(Proxy, RepliesBecomeAStatusAKindAndAResult) {
  const mes::SoapText untouched = u"untouched";
  struct Case {
    std::string reply;
    mes::SoapClientError kind;  // Success: the call succeeds
    mes::SoapText result;
  } cases[] = {
      {HttpReply("200 OK", Result("OK:\xE5\xB7\xB2\xE4\xB8\x8A\xE4\xBC\xA0 &amp; saved")),
       mes::SoapClientError::Success, u"OK:\u5DF2\u4E0A\u4F20 & saved"},
      // A failed call leaves the caller's result alone. The transport's kinds first: no
      // exchange or a failure status, a status other than 200/202/500, a 200 without a body.
      // (Nil, empty and malformed results are the reply parser's table.)
      {HttpReply("404 Not Found", "<html>not here</html>", "text/html"), mes::SoapClientError::SendError, untouched},
      {"HTTP/1.1 200 OK\r\nContent-Length: x\r\n\r\n", mes::SoapClientError::SendError, untouched},
      {HttpReply("201 Created", ReplyBody("")), mes::SoapClientError::ServerError, untouched},
      {HttpReply("200 OK", ""), mes::SoapClientError::ReadError, untouched},
      {HttpReply("500 Internal Server Error", ""), mes::SoapClientError::SoapFault, untouched},  // nothing to read
      // The transport succeeded (202 has no document); the reply parser's and fault reader's kinds.
      {HttpReply("202 Accepted", ""), mes::SoapClientError::ParseError, untouched},
      {HttpReply("500 Internal Server Error", "<html>oops</html>", "text/html"), mes::SoapClientError::ParseFaultError,
       untouched},
      {HttpReply("500 Internal Server Error", kFaultBody), mes::SoapClientError::SoapFault, untouched},
  };
  for (const Case& c : cases) {
    CLoopbackServer server;
    server.AddReply(c.reply);
    CCS_QuerySN proxy(server.Url(kPath));
    mes::SoapText result = untouched;
    EXPECT_EQ(Call(proxy, &result), c.kind == mes::SoapClientError::Success ? mes::kSoapOk : mes::kSoapFail) << c.reply;
    EXPECT_EQ(proxy.GetClientError(), c.kind) << c.reply;
    EXPECT_EQ(result, c.result) << c.reply;
    EXPECT_EQ(server.RequestCount(), 1u);  // a failed call is not sent again
  }
}
