#include <gtest/gtest.h>

#include <string>

#include "mes/CS_QuerySN.h"
#include "tests/support/LoopbackServer.h"

namespace {

using CS_QuerySN::CCS_QuerySN;
using testsupport::CLoopbackServer;

const char kPath[] = "/querysn/cs_querysn.asmx";

std::string Http(const std::string& statusLine, const std::string& body,
                 const std::string& type = "text/xml; charset=utf-8") {
  return "HTTP/1.1 " + statusLine + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string ReplyBody(const std::string& wrapperContent) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
         "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soap:Body>"
         "<IO_UpData_CommonResponse xmlns=\"RO_dErodo\">" +
         wrapperContent + "</IO_UpData_CommonResponse></soap:Body></soap:Envelope>";
}

const std::string kFaultBody =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
    "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><soap:Fault>"
    "<faultcode>soap:Client</faultcode><faultstring>Server was unable to read request.</faultstring>"
    "<detail><why>bad</why></detail></soap:Fault></soap:Body></soap:Envelope>";

const unsigned char kBlob[] = {0x31, 0x2E};

// One call with the values the MES summary step sends.
SoapStatus Call(CCS_QuerySN& proxy, SoapText* result, const SoapText& bugReason = u"\u4E2D\u6587 <ok>") {
  SoapBlob blob{2, kBlob};
  return proxy.IO_UpData_Common(u"ABC1234", u"ABC1234567", u"00:11:22:33:44:55", std::nullopt, u"PASS", u"",
                                bugReason, blob, blob, blob, u"ST-01", u"ATE", u"user", 0, u"V1.0.3", result);
}

struct Outcome {
  SoapStatus status;
  SoapClientError kind;
  SoapText result;
  SoapFault fault;
};

Outcome CallWithReply(const std::string& reply, bool closeAfter = false) {
  CLoopbackServer server;
  server.AddReply(reply, closeAfter);
  CCS_QuerySN proxy(server.Url(kPath));
  Outcome o{0, SoapClientError::Success, u"untouched", {}};
  o.status = Call(proxy, &o.result);
  o.kind = proxy.GetClientError();
  o.fault = proxy.GetFault();
  EXPECT_EQ(server.RequestCount(), 1u);
  return o;
}

TEST(Proxy, SuccessfulCallHandsOverTheDecodedResult) {
  Outcome o = CallWithReply(Http("200 OK", ReplyBody("<IO_UpData_CommonResult>OK:\xE5\xB7\xB2\xE4\xB8\x8A\xE4\xBC\xA0"
                                                     " &amp; saved</IO_UpData_CommonResult>")));
  EXPECT_EQ(o.status, kSoapOk);
  EXPECT_EQ(o.kind, SoapClientError::Success);
  ASSERT_TRUE(o.result);
  EXPECT_EQ(*o.result, u"OK:\u5DF2\u4E0A\u4F20 & saved");
}

TEST(Proxy, RequestCarriesTheActionTheHeadersAndTheEnvelope) {
  CLoopbackServer server;
  server.AddReply(Http("200 OK", ReplyBody("<IO_UpData_CommonResult>1</IO_UpData_CommonResult>")));
  CCS_QuerySN proxy(server.Url(kPath));
  SoapText result;
  ASSERT_EQ(Call(proxy, &result), kSoapOk);
  ASSERT_EQ(server.RequestCount(), 1u);
  const std::string req = server.Requests()[0];
  std::size_t split = req.find("\r\n\r\n");
  ASSERT_NE(split, std::string::npos);
  std::string head = req.substr(0, split + 4), body = req.substr(split + 4);
  EXPECT_EQ(head.rfind("POST /querysn/cs_querysn.asmx HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nSOAPAction: \"RO_dErodo/IO_UpData_Common\"\r\n"), std::string::npos);
  EXPECT_NE(head.find("\r\nContent-Type: text/xml; charset=utf-8\r\n"), std::string::npos);
  EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);
  EXPECT_EQ(body.rfind("<soap:Envelope xmlns:soap=", 0), 0u);
  // The envelope itself is checked byte for byte by the writer's tests.
  EXPECT_NE(body.find("<ComponentSnList xsi:nil=\"1\"/><DealResult>PASS</DealResult><BugType></BugType>"
                      "<BugReason>&#x4E2D;&#x6587; &lt;ok&gt;</BugReason><TempColumn1>MS4=</TempColumn1>"),
            std::string::npos)
      << body;
  EXPECT_EQ(body.substr(body.size() - 16), "</soap:Envelope>");
}

TEST(Proxy, NullAndEmptyResults) {
  Outcome absent = CallWithReply(Http("200 OK", ReplyBody("")));
  EXPECT_EQ(absent.status, kSoapOk);
  EXPECT_FALSE(absent.result);

  Outcome nil = CallWithReply(Http("200 OK", ReplyBody("<IO_UpData_CommonResult xsi:nil=\"true\"/>")));
  EXPECT_EQ(nil.status, kSoapOk);
  EXPECT_FALSE(nil.result);

  for (const char* empty : {"<IO_UpData_CommonResult/>", "<IO_UpData_CommonResult></IO_UpData_CommonResult>"}) {
    Outcome o = CallWithReply(Http("200 OK", ReplyBody(empty)));
    EXPECT_EQ(o.status, kSoapOk);
    ASSERT_TRUE(o.result);
    EXPECT_TRUE(o.result->empty());
  }
}

TEST(Proxy, MissingResultReferenceSendsNothing) {
  CLoopbackServer server;
  server.AddReply(Http("200 OK", ReplyBody("")));
  CCS_QuerySN proxy(server.Url(kPath));
  EXPECT_EQ(Call(proxy, nullptr), kSoapInvalidPointer);
  EXPECT_EQ(server.RequestCount(), 0u);
}

TEST(Proxy, HttpStatusesMapToErrorKinds) {
  struct Case {
    std::string reply;
    SoapClientError kind;
  } cases[] = {
      {Http("404 Not Found", "<html>not here</html>", "text/html"), SoapClientError::SendError},
      {Http("401 Unauthorized", ""), SoapClientError::SendError},
      {Http("201 Created", ReplyBody("")), SoapClientError::ServerError},
      {Http("202 Accepted", ""), SoapClientError::ParseError},  // no document to parse
      {Http("200 OK", ""), SoapClientError::ReadError},
      {Http("200 OK", "Service Unavailable", "text/plain"), SoapClientError::ParseError},
      {Http("200 OK", ReplyBody("<Unexpected/>")), SoapClientError::ParseError},
      {Http("200 OK", "<!DOCTYPE x [<!ENTITY a \"b\">]>" + ReplyBody("<IO_UpData_CommonResult>&a;</IO_UpData_CommonResult>")),
       SoapClientError::ParseError},
      {Http("500 Internal Server Error", "<html>oops</html>", "text/html"), SoapClientError::ParseFaultError},
      {"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n", SoapClientError::SoapFault},
      {"garbage\r\n\r\n", SoapClientError::SendError},
  };
  for (const Case& c : cases) {
    Outcome o = CallWithReply(c.reply);
    EXPECT_EQ(o.status, kSoapFail) << c.reply;
    EXPECT_EQ(o.kind, c.kind) << c.reply;
    ASSERT_TRUE(o.result) << c.reply;
    EXPECT_EQ(*o.result, u"untouched") << c.reply;
  }
}

TEST(Proxy, SoapFaultFillsTheFaultRecord) {
  Outcome o = CallWithReply(Http("500 Internal Server Error", kFaultBody));
  EXPECT_EQ(o.status, kSoapFail);
  EXPECT_EQ(o.kind, SoapClientError::SoapFault);
  EXPECT_EQ(o.fault.m_nCode, kSoapFaultClient);
  EXPECT_EQ(o.fault.m_strCode, u"Client");
  EXPECT_EQ(o.fault.m_strString, u"Server was unable to read request.");
  EXPECT_EQ(o.fault.m_strDetail, u"<why>bad</why>");
  EXPECT_EQ(*o.result, u"untouched");
}

TEST(Proxy, UnreachableServiceIsASendError) {
  unsigned short port;
  {
    CLoopbackServer server;  // a port that was just free and is closed again
    port = server.Port();
  }
  CCS_QuerySN proxy("http://127.0.0.1:" + std::to_string(port) + kPath);
  SoapText result = u"untouched";
  EXPECT_EQ(Call(proxy, &result), kSoapFail);
  EXPECT_EQ(proxy.GetClientError(), SoapClientError::SendError);
  EXPECT_EQ(*result, u"untouched");
}

TEST(Proxy, ASecondCallOnTheSameProxyStartsClean) {
  CLoopbackServer server;
  server.AddReply(Http("500 Internal Server Error", kFaultBody));
  server.AddReply(Http("200 OK", ReplyBody("<IO_UpData_CommonResult>second</IO_UpData_CommonResult>")));
  server.AddReply(Http("200 OK", ReplyBody("<IO_UpData_CommonResult>third</IO_UpData_CommonResult>")));
  CCS_QuerySN proxy(server.Url(kPath));
  SoapText result;
  EXPECT_EQ(Call(proxy, &result), kSoapFail);
  EXPECT_EQ(proxy.GetClientError(), SoapClientError::SoapFault);
  ASSERT_EQ(Call(proxy, &result), kSoapOk);
  EXPECT_EQ(proxy.GetClientError(), SoapClientError::Success);
  EXPECT_TRUE(proxy.GetFault().m_strString.empty());
  EXPECT_EQ(*result, u"second");
  ASSERT_EQ(Call(proxy, &result, std::nullopt), kSoapOk);
  EXPECT_EQ(*result, u"third");
  ASSERT_EQ(server.RequestCount(), 3u);
  // Each request is a fresh envelope, not appended to the last one.
  std::string third = server.Requests()[2];
  EXPECT_EQ(third.find("<soap:Envelope"), third.rfind("<soap:Envelope"));
  EXPECT_NE(third.find("<BugReason xsi:nil=\"1\"/>"), std::string::npos);
}

TEST(Proxy, AHandedOverReaderIsUsed) {
  CLoopbackServer server;
  server.AddReply(Http("200 OK", ReplyBody("<IO_UpData_CommonResult>x</IO_UpData_CommonResult>")));
  auto reader = std::make_unique<platform::CXmlReader>();
  platform::CXmlReader* raw = reader.get();
  CCS_QuerySN proxy(server.Url(kPath), std::move(reader));
  EXPECT_NE(raw->GetContentHandler(), nullptr);
  SoapText result;
  EXPECT_EQ(Call(proxy, &result), kSoapOk);
  EXPECT_EQ(*result, u"x");
}

}  // namespace
