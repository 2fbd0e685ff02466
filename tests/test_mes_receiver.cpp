// The embedded MES receiver: calls of the module's own client are stored
// value for value; every invalid request gets a SOAP Fault (HTTP 500) and
// leaves nothing behind; the WSDL is served; connections are kept alive.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <httplib.h>
#include <libxml/parser.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "mes-receiver/ReceiverServer.h"
#include "mes-receiver/UploadStore.h"
#include "mes/CS_QuerySN.h"
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
    m_server->Stop();
    m_thread.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/querysn/cs_querysn.asmx"; }

  ScratchFolder m_dir;
  std::unique_ptr<receiver::UploadStore> m_store;
  std::unique_ptr<receiver::ReceiverServer> m_server;
  std::thread m_thread;
  int m_port = 0;
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

TEST_F(Receiver, TheModulesClientCallIsStoredValueForValue) {
  const std::u16string reason = u"FormatVersion\t=\t1.0.0.0\n[HEAD]\n时间同步检测确认 = PASS <&> \"引号\"\n[END]";
  const unsigned char version[2] = {'V', 0};  // a zero byte travels too
  mes::CS_QuerySN::CCS_QuerySN proxy(Url());
  mes::SoapText answer;
  const mes::SoapStatus status =
      proxy.IO_UpData_Common(u"NV2612A", u"NV2612A0001", std::nullopt, u"", u"FAIL", u"D2201;", reason,
                             mes::SoapBlob{2, version}, mes::SoapBlob{2, version}, mes::SoapBlob{0, nullptr},
                             u"整机测试工位03", u"NVR_整机测试", u"NVR-PC03_1002345", -7, u"sStartStr error", &answer);
  ASSERT_TRUE(mes::SoapSucceeded(status)) << static_cast<int>(proxy.GetClientError());
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(*answer, u"OK 1");

  const auto rows = m_store->All();
  ASSERT_EQ(rows.size(), 1u);
  const receiver::UploadCall& c = rows[0].call;
  const std::vector<std::optional<std::string>> expected = {
      "NV2612A",
      "NV2612A0001",
      std::nullopt,
      "",
      "FAIL",
      "D2201;",
      "FormatVersion\t=\t1.0.0.0\n[HEAD]\n时间同步检测确认 = PASS <&> \"引号\"\n[END]",
      std::string("V\0", 2),
      std::string("V\0", 2),
      std::nullopt,
      "整机测试工位03",
      "NVR_整机测试",
      "NVR-PC03_1002345",
      std::nullopt,
      "sStartStr error"};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (i == receiver::kSystemTypeField) continue;
    EXPECT_EQ(c.values[i], expected[i]) << receiver::kFieldNames[i];
  }
  EXPECT_EQ(c.nSystemType, -7);
  EXPECT_NE(rows[0].strRawRequest.find("<IO_UpData_Common xmlns=\"RO_dErodo\">"), std::string::npos);
}

TEST_F(Receiver, InvalidRequestsGetAFaultAndStoreNothing) {
  struct Case {
    const char* what;
    std::string body;
    std::string action;
    std::string inFault;
  };
  const std::vector<Case> cases = {
      {"no SOAPAction", kValid, "", "SOAPAction missing"},
      {"another operation's SOAPAction", kValid, "\"RO_dErodo/IO_QuerySN\"", "SOAPAction"},
      {"not XML", "<soap:Envelope", kAction, "not well-formed"},
      {"a document type", "<!DOCTYPE x [<!ENTITY e \"v\">]>" + kValid.substr(kValid.find("<soap:")), kAction,
       "document type"},
      {"SOAP 1.2 envelope",
       Replace(kValid, "http://schemas.xmlsoap.org/soap/envelope/", "http://www.w3.org/2003/05/soap-envelope"), kAction,
       "not a SOAP 1.1 Envelope"},
      {"wrong namespace", Replace(kValid, "xmlns=\"RO_dErodo\"", "xmlns=\"urn:other\""), kAction,
       "not an IO_UpData_Common"},
      {"empty body",
       Replace(kValid, kValid.substr(kValid.find("<IO_"), kValid.find("</soap:Body>") - kValid.find("<IO_")), ""),
       kAction, "Body is empty"},
      {"an element missing", Replace(kValid, "<Version>V4</Version>", ""), kAction, "Version"},
      {"elements out of order",
       Replace(Replace(kValid, "<OrderNo>NV2612A</OrderNo>", ""), "</SerialNumber>",
               "</SerialNumber><OrderNo>NV2612A</OrderNo>"),
       kAction, "SerialNumber"},
      {"an unknown element", Replace(kValid, "<Version>", "<Extra>1</Extra><Version>"), kAction, "Extra"},
      {"SystemType not an int", Replace(kValid, "<SystemType>0<", "<SystemType>zero<"), kAction, "xs:int"},
      {"SystemType past 32 bits", Replace(kValid, "<SystemType>0<", "<SystemType>4294967296<"), kAction, "SystemType"},
      {"SystemType nil", Replace(kValid, "<SystemType>0</SystemType>", "<SystemType xsi:nil=\"1\"/>"), kAction,
       "SystemType"},
      {"bad base64", Replace(kValid, "<TempColumn1>VjQ=<", "<TempColumn1>V*Q=<"), kAction, "base64Binary"},
      {"nil with content", Replace(kValid, "<MacList xsi:nil=\"1\"/>", "<MacList xsi:nil=\"1\">x</MacList>"), kAction,
       "MacList"},
      {"unqualified elements",
       Replace(Replace(kValid, " xmlns=\"RO_dErodo\">", " xmlns=\"RO_dErodo\" xmlns:u=\"\">"),
               "<OrderNo>NV2612A</OrderNo>", "<OrderNo xmlns=\"\">NV2612A</OrderNo>"),
       kAction, "OrderNo"},
  };
  httplib::Client client("127.0.0.1", m_port);
  for (const Case& c : cases) {
    httplib::Headers headers;
    if (!c.action.empty()) headers.emplace("SOAPAction", c.action);
    const auto res = client.Post("/querysn/cs_querysn.asmx", headers, c.body, "text/xml; charset=utf-8");
    ASSERT_TRUE(res) << c.what;
    EXPECT_EQ(res->status, 500) << c.what;
    EXPECT_NE(res->body.find("<soap:Fault><faultcode>soap:Client</faultcode><faultstring>"), std::string::npos)
        << c.what << ": " << res->body;
    EXPECT_NE(res->body.find(c.inFault), std::string::npos) << c.what << ": " << res->body;
  }
  EXPECT_TRUE(m_store->All().empty());

  // The same connection still serves a valid call afterwards.
  const auto ok = client.Post("/querysn/cs_querysn.asmx", {{"SOAPAction", kAction}}, kValid, "text/xml");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->status, 200);
  EXPECT_EQ(m_store->All().size(), 1u);
}

TEST_F(Receiver, ServesItsWsdl) {
  httplib::Client client("127.0.0.1", m_port);
  const auto res = client.Get("/querysn/cs_querysn.asmx?wsdl");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  xmlDocPtr doc =
      xmlReadMemory(res->body.data(), static_cast<int>(res->body.size()), "wsdl.xml", nullptr, XML_PARSE_NONET);
  ASSERT_NE(doc, nullptr) << "the WSDL is well-formed";
  xmlFreeDoc(doc);
  EXPECT_NE(res->body.find("soapAction=\"RO_dErodo/IO_UpData_Common\""), std::string::npos);
  EXPECT_NE(res->body.find("location=\"http://127.0.0.1:" + std::to_string(m_port) + "/querysn/cs_querysn.asmx\""),
            std::string::npos);
  EXPECT_NE(res->body.find("<xs:element name=\"TempColumn1\" type=\"xs:base64Binary\" nillable=\"true\"/>"),
            std::string::npos);
}

// Reads one HTTP response with a Content-Length from a blocking socket.
std::string ReadResponse(int fd) {
  std::string data;
  char buf[4096];
  while (true) {
    const std::size_t head = data.find("\r\n\r\n");
    if (head != std::string::npos) {
      const std::size_t at = data.find("Content-Length: ");
      const std::size_t length = at == std::string::npos ? 0 : std::stoul(data.substr(at + 16));
      if (data.size() >= head + 4 + length) return data;
    }
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return data;
    data.append(buf, static_cast<std::size_t>(n));
  }
}

TEST_F(Receiver, KeepsTheConnectionAliveBetweenCalls) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(m_port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  const std::string request =
      "POST /querysn/cs_querysn.asmx HTTP/1.1\r\nHost: 127.0.0.1\r\nSOAPAction: " + std::string(kAction) +
      "\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(kValid.size()) + "\r\n\r\n" + kValid;
  for (int call = 1; call <= 2; ++call) {
    ASSERT_EQ(write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    const std::string reply = ReadResponse(fd);
    EXPECT_EQ(reply.rfind("HTTP/1.1 200", 0), 0u) << call << ": " << reply;
    EXPECT_NE(reply.find("<IO_UpData_CommonResult>OK " + std::to_string(call) + "</IO_UpData_CommonResult>"),
              std::string::npos)
        << reply;
  }
  close(fd);
  EXPECT_EQ(m_store->All().size(), 2u);
}

TEST_F(Receiver, ABusyPortIsReportedAsSuch) {
  receiver::UploadStore other(m_dir.File("other.sqlite"));
  receiver::ReceiverServer second(other);
  std::string error;
  EXPECT_EQ(second.Bind("127.0.0.1", m_port, error), -1);
  EXPECT_NE(error.find("port " + std::to_string(m_port) + " on 127.0.0.1 is in use"), std::string::npos) << error;
}

TEST(ReceiverStore, KeepsCallsAcrossReopeningAndRefusesAFileThatIsNoDatabase) {
  ScratchFolder dir;
  receiver::UploadCall call;
  call.values[1] = "SN1";
  call.nSystemType = 3;
  {
    receiver::UploadStore store(dir.File("u.sqlite"));
    EXPECT_EQ(store.Add(call, "<raw/>"), 1);
  }
  receiver::UploadStore again(dir.File("u.sqlite"), true);
  const auto rows = again.All();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].call.values[1], "SN1");
  EXPECT_FALSE(rows[0].call.values[0].has_value());
  EXPECT_EQ(rows[0].call.nSystemType, 3);
  EXPECT_EQ(rows[0].strRawRequest, "<raw/>");

  WriteBytes(dir.File("not-a-db.sqlite"), std::string(4096, 'x'));
  EXPECT_THROW(receiver::UploadStore(dir.File("not-a-db.sqlite")), std::runtime_error);
}

}  // namespace
