// The embedded MES receiver: calls of the module's own client are stored
// value for value; every invalid request gets a SOAP Fault (HTTP 500) and
// leaves nothing behind; the WSDL is served.
#include <gtest/gtest.h>

#include <libxml/parser.h>

#include <string>
#include <thread>
#include <vector>

#include "mes-receiver/ReceiverServer.h"
#include "mes-receiver/UploadStore.h"
#include "mes/HttpClient.h"
#include "tests/ScratchFolder.h"

namespace {

constexpr char kAction[] = "\"RO_dErodo/IO_UpData_Common\"";

class Receiver : public ::testing::Test {
 protected:
  void SetUp() override {
    m_store = std::make_unique<receiver::UploadStore>(m_dir.File("uploads.sqlite"));
    m_server = std::make_unique<receiver::ReceiverServer>(*m_store);
    std::string error;
    m_port = m_server->Bind("127.0.0.1", 0, error);
    ASSERT_GT(m_port, 0) << error;
    m_thread = std::thread([this] { m_server->Run(); });
  }
  void TearDown() override {
    m_client.GetSocket().Close();  // the server would wait out the kept-alive connection
    m_server->Stop();
    m_thread.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/querysn/cs_querysn.asmx"; }
  // Status and body of a POST over the test's one kept-alive connection.
  std::pair<int, std::string> Post(const std::string& body, const std::string& action,
                                   const std::string& path = "/querysn/cs_querysn.asmx") {
    mes::NavigateOptions o;
    o.strMethod = "POST";
    o.strContentType = "text/xml; charset=utf-8";
    o.strExtraHeaders = action.empty() ? "" : "SOAPAction: " + action + "\r\n";
    o.pBody = body.data();
    o.nBodyLength = body.size();
    o.dwFlags = 0;  // any status is an answer
    if (!m_client.Navigate("http://127.0.0.1:" + std::to_string(m_port) + path, &o)) return {-1, ""};
    return {m_client.GetStatus(), std::string(m_client.GetBody(), m_client.GetBodyLength())};
  }

  ScratchFolder m_dir;
  std::unique_ptr<receiver::UploadStore> m_store;
  std::unique_ptr<receiver::ReceiverServer> m_server;
  std::thread m_thread;
  int m_port = 0;
  mes::CHttpClient m_client;
};

// A valid request as the service's clients write it.
const std::string kValid =
    R"(<?xml version="1.0" encoding="utf-8"?><soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/" )"
    R"(xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><soap:Body><IO_UpData_Common xmlns="RO_dErodo">)"
    R"(<OrderNo>NV2612A</OrderNo><SerialNumber>NV2612A0001</SerialNumber><MacList xsi:nil="1"/>)"
    R"(<ComponentSnList></ComponentSnList><DealResult>PASS</DealResult><BugType>D0000;</BugType>)"
    R"(<BugReason>log</BugReason><TempColumn1>VjQ=</TempColumn1><TempColumn2>VjQ=</TempColumn2>)"
    R"(<TempColumn3>VjQ=</TempColumn3><WorkStation>ST</WorkStation><ToolType>NVR</ToolType>)"
    R"(<Recorder>PC_1234567</Recorder><SystemType>0</SystemType><Version>V4</Version>)"
    R"(</IO_UpData_Common></soap:Body></soap:Envelope>)";

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  const std::size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

// What the module's client sends is stored value for value: the end-to-end test.
TEST_F(Receiver, InvalidRequestsGetAFaultAndStoreNothing) {
  const std::string operation = kValid.substr(kValid.find("<IO_"), kValid.find("</soap:Body>") - kValid.find("<IO_"));
  struct Case {
    std::string body, inFault, action = kAction;
  };
  const Case cases[] = {
      {kValid, "SOAPAction missing", ""},
      {kValid, "SOAPAction", "\"RO_dErodo/IO_QuerySN\""},
      {"<soap:Envelope", "not well-formed"},
      {"<!DOCTYPE x [<!ENTITY e \"v\">]>" + kValid.substr(kValid.find("<soap:")), "document type"},
      {Replace(kValid, "schemas.xmlsoap.org/soap/envelope/", "www.w3.org/2003/05/soap-envelope"), "not a SOAP 1.1"},
      {Replace(kValid, "xmlns=\"RO_dErodo\"", "xmlns=\"urn:other\""), "not an IO_UpData_Common"},
      {Replace(kValid, operation, ""), "Body is empty"},
      {Replace(kValid, "<Version>V4</Version>", ""), "Version"},
      {Replace(kValid, "<OrderNo>NV2612A</OrderNo><SerialNumber>NV2612A0001</SerialNumber>",
               "<SerialNumber>NV2612A0001</SerialNumber><OrderNo>NV2612A</OrderNo>"),
       "SerialNumber"},
      {Replace(kValid, "<Version>", "<Extra>1</Extra><Version>"), "Extra"},
      {Replace(kValid, "<SystemType>0<", "<SystemType>zero<"), "xs:int"},
      {Replace(kValid, "<SystemType>0<", "<SystemType>4294967296<"), "SystemType"},
      {Replace(kValid, "<SystemType>0</SystemType>", "<SystemType xsi:nil=\"1\"/>"), "SystemType"},
      {Replace(kValid, "<TempColumn1>VjQ=<", "<TempColumn1>V*Q=<"), "base64Binary"},
      {Replace(kValid, "<MacList xsi:nil=\"1\"/>", "<MacList xsi:nil=\"1\">x</MacList>"), "MacList"},
      {Replace(kValid, "<OrderNo>", "<OrderNo xmlns=\"\">"), "OrderNo"},  // unqualified
  };
  for (const Case& c : cases) {
    const auto [status, body] = Post(c.body, c.action);
    EXPECT_EQ(status, 500) << c.inFault;
    EXPECT_NE(body.find("<soap:Fault><faultcode>soap:Client</faultcode><faultstring>"), std::string::npos) << body;
    EXPECT_NE(body.find(c.inFault), std::string::npos) << body;
  }
  EXPECT_EQ(Post(kValid, kAction, "/other.asmx").first, 404);  // no other service is served
  EXPECT_TRUE(m_store->All().empty());

  // Valid calls are still served afterwards.
  for (int call = 1; call <= 2; ++call) {
    const auto [status, body] = Post(kValid, kAction);
    EXPECT_EQ(status, 200);
    EXPECT_NE(body.find("<IO_UpData_CommonResult>OK " + std::to_string(call) + "<"), std::string::npos) << body;
  }
  EXPECT_EQ(m_store->All().size(), 2u);
}

TEST_F(Receiver, ServesAWsdlLibxml2Reads) {
  ASSERT_TRUE(m_client.Navigate(Url() + "?wsdl"));
  const std::string wsdl(m_client.GetBody(), m_client.GetBodyLength());
  xmlDocPtr doc = xmlReadMemory(wsdl.data(), static_cast<int>(wsdl.size()), "wsdl.xml", nullptr, XML_PARSE_NONET);
  EXPECT_NE(doc, nullptr) << "the WSDL is well-formed";
  xmlFreeDoc(doc);
  EXPECT_NE(wsdl.find("location=\"" + Url() + "\""), std::string::npos) << wsdl;
}

// Calls kept across reopening: the end-to-end test's second run.
TEST(ReceiverStore, RefusesAFileThatIsNoDatabase) {
  ScratchFolder dir;
  WriteBytes(dir.File("not-a-db.sqlite"), std::string(4096, 'x'));
  EXPECT_THROW(receiver::UploadStore(dir.File("not-a-db.sqlite")), std::runtime_error);
  EXPECT_EQ(ReadBytes(dir.File("not-a-db.sqlite")), std::string(4096, 'x'));
}

}  // namespace
