// The upload step on its own, against the loopback MES double.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "results/ResultSummary.h"
#include "tests/MesDouble.h"
#include "tests/ResultSavingFixture.h"

namespace {

using namespace results_test;
using platform::Gbk;

class UploadTest : public ResultSavingTest {
 protected:
  ResultListSnapshot Panel() const {
    ResultListSnapshot panel;
    panel.strSerialNumber = "SN260305Z9";
    panel.rows = {{Gbk(u8"机器设备软件版本"), Gbk(u8"版本V2,"), 2},
                  {Gbk(u8"WEB方式获取MAC"), "00:0A:0B:0C:0D:0E,", 2},
                  {"Fan", "PASS", 1}};
    return panel;
  }
  ResultStructrue Record() const {
    ResultStructrue r;
    r.strStation = "ST1";
    r.strComputerUser = Gbk(u8"工位机 U000001");
    r.strRouteStepName = "BURN_IN";
    r.nJudge = 1;
    r.mapMac["SN260305Z9"] = "00:0A:0B:0C:0D:0E";
    return r;
  }
  MesDouble m_mes;
};

TEST_F(UploadTest, EveryValueArrivesDecodedFromUtf16) {
  ResultListSnapshot panel = Panel();
  const ResultStructrue record = Record();
  EXPECT_EQ(UploadResultSummary(panel, &record, m_mes.Url()), 1);
  std::vector<ReceivedUpload> uploads = m_mes.Uploads();
  ASSERT_EQ(uploads.size(), 1u);
  const ReceivedUpload& u = uploads[0];
  EXPECT_EQ(u.strError, "");
  EXPECT_EQ(u.strOperation, "IO_UpData_Common");
  EXPECT_EQ(u.Text("OrderNo"), "SN26030");
  EXPECT_EQ(u.Text("SerialNumber"), "SN260305Z9");
  EXPECT_EQ(u.Text("MacList"), "00:0A:0B:0C:0D:0E");
  EXPECT_EQ(u.Text("ComponentSnList"), "");
  EXPECT_EQ(u.Text("DealResult"), "PASS");
  EXPECT_EQ(u.Text("BugType"), "");
  EXPECT_EQ(u.Text("WorkStation"), "ST1");
  EXPECT_EQ(u.Text("ToolType"), "BURN_IN");
  EXPECT_EQ(u.Text("Recorder"), Gbk(u8"工位机 U000001"));
  EXPECT_EQ(u.Text("SystemType"), "0");
  EXPECT_EQ(u.Text("Version"), Gbk(u8"版本V2"));
  // The first two bytes of the GBK version: the first character.
  EXPECT_EQ(u.Bytes("TempColumn1"), Gbk(u8"版"));
  EXPECT_EQ(u.Bytes("TempColumn3"), Gbk(u8"版"));
  const std::string reason = u.Text("BugReason");
  EXPECT_EQ(reason.rfind("FormatVersion\t=\t1.0.0.0\n", 0), 0u);
  const std::string tail = "\nFan = PASS\nMAC0 = 00:0A:0B:0C:0D:0E,\n[END]";
  ASSERT_GT(reason.size(), tail.size());
  EXPECT_EQ(reason.substr(reason.size() - tail.size()), tail);
}

TEST_F(UploadTest, EachUploadUsesItsOwnConnectionAndClient) {
  ResultListSnapshot panel = Panel();
  const ResultStructrue record = Record();
  EXPECT_EQ(UploadResultSummary(panel, &record, m_mes.Url()), 1);
  EXPECT_EQ(UploadResultSummary(panel, &record, m_mes.Url()), 1);
  EXPECT_EQ(m_mes.Uploads().size(), 2u);
}

TEST_F(UploadTest, FailedCallsGiveZero) {
  ResultListSnapshot panel = Panel();
  const ResultStructrue record = Record();
  m_mes.SetAnswer(MesDouble::Answer::Fault500);
  EXPECT_EQ(UploadResultSummary(panel, &record, m_mes.Url()), 0);
  m_mes.SetAnswer(MesDouble::Answer::Status404);
  EXPECT_EQ(UploadResultSummary(panel, &record, m_mes.Url()), 0);
  EXPECT_EQ(m_mes.Uploads().size(), 2u);
  // A URL the client cannot use is a failed upload, not an escaping error.
  EXPECT_EQ(UploadResultSummary(panel, &record, "not a url"), 0);
  EXPECT_EQ(UploadResultSummary(panel, &record, ""), 0);
  EXPECT_TRUE(m_messages.empty());
  EXPECT_EQ(FilesBelow(TestResult()), std::vector<std::string>{"SN260305Z9-20260305140709.txt"});
}

TEST_F(UploadTest, MesThatNeverAnswersEndsWithTheClientsTimeOut) {
  m_mes.SetAnswer(MesDouble::Answer::Silent);
  ResultListSnapshot panel = Panel();
  const ResultStructrue record = Record();
  EXPECT_EQ(UploadResultSummary(panel, &record, m_mes.Url()), 0);
  EXPECT_EQ(m_mes.Uploads().size(), 1u);
}

TEST_F(UploadTest, RefusedConnectionFailsAtOnceWithTheLogWritten) {
  // A port nothing listens on.
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/querysn/cs_querysn.asmx";

  ResultListSnapshot panel = Panel();
  const ResultStructrue record = Record();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(UploadResultSummary(panel, &record, url), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(FilesBelow(TestResult()), std::vector<std::string>{"SN260305Z9-20260305140709.txt"});
}

}  // namespace
