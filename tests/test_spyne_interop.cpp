// The request must be accepted by an independent, schema-validating SOAP
// stack: a spyne server (tests/peers/spyne_mes_server.py) answers each call
// with a JSON text of the values it decoded, which is compared here.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "mes/CS_QuerySN.h"
#include "mes/HttpClient.h"
#include "platform/TextCodec.h"

extern char** environ;

namespace {

using mes::CS_QuerySN::CCS_QuerySN;

const char kPath[] = "/querysn/cs_querysn.asmx";

class SpyneServer {
 public:
  SpyneServer() {
    const char* root = std::getenv("MONITOR_SOURCE_DIR");
    std::string script = std::string(root ? root : ".") + "/tests/peers/spyne_mes_server.py";
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    std::string python = "/usr/bin/python3", port = "0";
    char* argv[] = {python.data(), script.data(), port.data(), nullptr};
    if (posix_spawn(&m_pid, argv[0], &fa, nullptr, argv, environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    // The server prints "PORT <n>" once it listens; spyne takes a moment to import.
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (m_pid > 0 && line.find('\n') == std::string::npos && poll(&p, 1, 30000) > 0) {
      char buf[256];
      ssize_t n = read(out[0], buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, static_cast<std::size_t>(n));
    }
    close(out[0]);
    if (line.rfind("PORT ", 0) == 0) m_port = std::atoi(line.c_str() + 5);
  }
  ~SpyneServer() {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      waitpid(m_pid, nullptr, 0);
    }
  }
  int Port() const { return m_port; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + kPath; }

 private:
  pid_t m_pid = -1;
  int m_port = 0;
};

std::u16string Widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// Python's json.dumps(..., ensure_ascii=False) of a text.
std::u16string Json(const mes::SoapText& text) {
  if (!text) return u"null";
  std::u16string s = u"\"";
  for (char16_t c : *text) {
    const char16_t* escape = c == u'"'    ? u"\\\""
                             : c == u'\\' ? u"\\\\"
                             : c == u'\n' ? u"\\n"
                             : c == u'\r' ? u"\\r"
                             : c == u'\t' ? u"\\t"
                                          : nullptr;
    if (escape)
      s += escape;
    else if (c < 0x20)
      s += u"\\u00" + Widen({"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 0xF]});
    else
      s += c;
  }
  return s + u"\"";
}

std::u16string Json(mes::SoapBlob blob) {
  if (!blob.data) return u"null";
  std::u16string s = u"[";
  for (std::uint32_t i = 0; i < blob.size; ++i) s += (i ? u", " : u"") + Widen(std::to_string(blob.data[i]));
  return s + u"]";
}

struct Values {
  mes::SoapText text[11];  // the texts in element order, Version last
  mes::SoapBlob blob[3];
  std::int32_t systemType = 0;
};

mes::SoapStatus Send(CCS_QuerySN& proxy, const Values& v, mes::SoapText* result) {
  return proxy.IO_UpData_Common(v.text[0], v.text[1], v.text[2], v.text[3], v.text[4], v.text[5], v.text[6], v.blob[0],
                                v.blob[1], v.blob[2], v.text[7], v.text[8], v.text[9], v.systemType, v.text[10],
                                result);
}

// The server's answer for these values, field by field in element order.
std::u16string ExpectedAnswer(const Values& v) {
  const char16_t* names[] = {u"OrderNo", u"SerialNumber", u"MacList",     u"ComponentSnList", u"DealResult",
                             u"BugType", u"BugReason",    u"WorkStation", u"ToolType",        u"Recorder"};
  std::u16string s = u"{";
  for (int i = 0; i < 7; ++i) s += std::u16string(i ? u", \"" : u"\"") + names[i] + u"\": " + Json(v.text[i]);
  for (int i = 0; i < 3; ++i) s += u", \"TempColumn" + std::u16string(1, u'1' + i) + u"\": " + Json(v.blob[i]);
  for (int i = 7; i < 10; ++i) s += u", \"" + std::u16string(names[i]) + u"\": " + Json(v.text[i]);
  return s + u", \"SystemType\": " + Widen(std::to_string(v.systemType)) + u", \"Version\": " + Json(v.text[10]) + u"}";
}

class SpyneInterop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_server = new SpyneServer(); }
  static void TearDownTestSuite() {
    delete s_server;
    s_server = nullptr;
  }
  void SetUp() override { ASSERT_GT(s_server->Port(), 0) << "the spyne server did not start (python3-spyne missing?)"; }
  static SpyneServer* s_server;
};
SpyneServer* SpyneInterop::s_server = nullptr;

TEST_F(SpyneInterop, EveryValueArrivesIntact) {
  std::vector<unsigned char> allBytes(1000);
  for (std::size_t i = 0; i < allBytes.size(); ++i) allBytes[i] = static_cast<unsigned char>(i * 7 + 3);
  static const unsigned char two[] = {0x31, 0x2E};
  Values v;
  v.text[0] = u"ABC1234";
  v.text[1] = u"ABC1234567";
  v.text[2] = u"00:11:22:33:44:55";
  v.text[3] = std::nullopt;
  v.text[4] = u"FAIL";
  v.text[5] = u"";
  v.text[6] = u"\u7F51\u53E3\u6D4B\u8BD5\u5931\u8D25 <a&b> \"q\" 'x'\r\nline2\ttab \U0001F600 \u00E9";
  v.blob[0] = mes::SoapBlob{2, two};
  v.blob[1] = mes::SoapBlob{static_cast<std::uint32_t>(allBytes.size()), allBytes.data()};  // many Base64 lines
  v.blob[2] = mes::SoapBlob{57, allBytes.data()};  // exactly one line, ending in CR LF
  v.text[7] = u"\u5DE5\u4F4D-01";
  v.text[8] = u"ATE";
  v.text[9] = u"operator";
  v.systemType = -2147483647 - 1;
  v.text[10] = u"V2.0.1 build 5";

  CCS_QuerySN proxy(s_server->Url());
  mes::SoapText result;
  ASSERT_EQ(Send(proxy, v, &result), mes::kSoapOk) << "kind " << static_cast<int>(proxy.GetClientError()) << " fault "
                                                   << platform::Utf16ToGbk(proxy.GetFault().m_strString);
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, ExpectedAnswer(v)) << platform::Utf16ToGbk(*result);
}

TEST_F(SpyneInterop, NullValuesArriveAsNil) {
  Values v;  // all texts and blobs null
  v.systemType = 2147483647;
  CCS_QuerySN proxy(s_server->Url());
  mes::SoapText result;
  ASSERT_EQ(Send(proxy, v, &result), mes::kSoapOk);
  EXPECT_EQ(*result, ExpectedAnswer(v));
}

// A device console's colour codes in a result (ESC is not an XML 1.0
// character, not even as a reference) must not make the server refuse the
// unit: every text value arrives with visible stand-ins in their place.
TEST_F(SpyneInterop, ControlCharactersArriveAsVisibleStandIns) {
  const std::u16string console = u"\x1b[32mPASS\x1b[0m";
  const std::u16string shown = u"\u241B[32mPASS\u241B[0m";
  Values v, expected;
  for (int i = 0; i < 11; ++i) v.text[i] = expected.text[i] = u"x";
  // The second log as it is sent: "串口输出 = <console text>" among the items.
  v.text[6] = u"[BEGIN]\n\u4E32\u53E3\u8F93\u51FA = " + console + u"\n[END]";
  expected.text[6] = u"[BEGIN]\n\u4E32\u53E3\u8F93\u51FA = " + shown + u"\n[END]";
  v.text[4] = console;
  expected.text[4] = shown;
  // DEL and the C1 controls are XML characters and go through unchanged.
  v.text[2] = std::u16string{u'\0', u'\x01', u'\x1f', u'\uFFFE', u'\uFFFF', char16_t(0xD800), u'z', u'\x7f', u'\x85'};
  expected.text[2] = u"\u2400\u2401\u241F\uFFFD\uFFFD\uFFFDz\u007F\u0085";
  CCS_QuerySN proxy(s_server->Url());
  mes::SoapText result;
  ASSERT_EQ(Send(proxy, v, &result), mes::kSoapOk) << "kind " << static_cast<int>(proxy.GetClientError()) << " fault "
                                                   << platform::Utf16ToGbk(proxy.GetFault().m_strString);
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, ExpectedAnswer(expected)) << platform::Utf16ToGbk(*result);
}

// Proof that the server validates: a request with two elements swapped is
// refused with a SOAP Fault, which the proxy's fault reader would read.
TEST_F(SpyneInterop, ServerRejectsAnEnvelopeOutOfSchemaOrder) {
  std::string body =
      "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
      "<IO_UpData_Common xmlns=\"RO_dErodo\"><SerialNumber>b</SerialNumber><OrderNo>a</OrderNo>"
      "</IO_UpData_Common></soap:Body></soap:Envelope>";
  mes::CHttpClient client;
  mes::NavigateOptions o;
  o.strMethod = "POST";
  o.strContentType = "text/xml; charset=utf-8";
  o.strExtraHeaders = "SOAPAction: \"RO_dErodo/IO_UpData_Common\"\r\n";
  o.pBody = body.data();
  o.nBodyLength = body.size();
  o.dwFlags = 0;  // any status is an answer
  ASSERT_TRUE(client.Navigate(s_server->Url(), &o));
  EXPECT_EQ(client.GetStatus(), 500);
  const std::string reply(client.GetBody(), client.GetBodyLength());
  EXPECT_NE(reply.find("SchemaValidationError"), std::string::npos) << reply;
}

}  // namespace
