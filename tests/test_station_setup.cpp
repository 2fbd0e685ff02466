// What the station checks before the first unit: the output folder, PCB.xls
// and the MES address; and the summary table it ends with.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "station/MesProbe.h"
#include "station/OutputFolder.h"
#include "station/Summary.h"
#include "tests/ScratchFolder.h"

namespace {

const std::string kXlsSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

std::string ErrorOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const station::SetupError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(StationWorkbook, MadeFromTheTemplateKeptOrRefused) {
  ScratchFolder dir;
  const std::string templ = dir.File("template.xls");
  WriteBytes(templ, kXlsSignature + "template");
  const std::string workbook = dir.File("PCB.xls");
  std::string backup;

  EXPECT_EQ(station::ProvideWorkbook(dir.Path(), templ, false, backup), station::WorkbookState::MadeFromTemplate);
  EXPECT_EQ(ReadBytes(workbook), kXlsSignature + "template");

  WriteBytes(workbook, kXlsSignature + "rows of earlier units");
  EXPECT_EQ(station::ProvideWorkbook(dir.Path(), templ, false, backup), station::WorkbookState::Present);
  EXPECT_EQ(ReadBytes(workbook), kXlsSignature + "rows of earlier units");

  // A fresh workbook keeps the old one beside it.
  EXPECT_EQ(station::ProvideWorkbook(dir.Path(), templ, true, backup), station::WorkbookState::Replaced);
  EXPECT_EQ(ReadBytes(workbook), kXlsSignature + "template");
  EXPECT_EQ(ReadBytes(backup), kXlsSignature + "rows of earlier units");

  // Not a workbook: refused, and left exactly as it was.
  WriteBytes(workbook, "SN,Result\nA1,PASS\n");
  const std::string message = ErrorOf([&] { station::ProvideWorkbook(dir.Path(), templ, false, backup); });
  EXPECT_NE(message.find("PCB.xls is not an Excel 97-2003 workbook"), std::string::npos) << message;
  EXPECT_EQ(ReadBytes(workbook), "SN,Result\nA1,PASS\n");

  const std::string noTemplate =
      ErrorOf([&] { station::ProvideWorkbook(dir.File("sub-missing"), dir.File("none.xls"), false, backup); });
  EXPECT_NE(noTemplate.find("template"), std::string::npos) << noTemplate;
}

TEST(StationOutputFolder, CreatedWritableOrRefusedWithWhatToDo) {
  ScratchFolder dir;
  EXPECT_EQ(station::PrepareOutputFolder(dir.File("a/b/")), dir.File("a/b"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b")));

  WriteBytes(dir.File("plain-file"), "x");
  EXPECT_NE(ErrorOf([&] { station::PrepareOutputFolder(dir.File("plain-file")); }).find("cannot create the output folder"),
            std::string::npos);

  // A folder nobody may write into: as root only a read-only file system
  // refuses, so take one of the kernel's.
  std::string readOnly = dir.File("read-only");
  if (geteuid() == 0) {
    readOnly = "/sys/kernel";
  } else {
    std::filesystem::create_directory(readOnly);
    chmod(readOnly.c_str(), 0555);
  }
  const std::string message = ErrorOf([&] { station::PrepareOutputFolder(readOnly); });
  EXPECT_NE(message.find("is not writable"), std::string::npos) << message;
  EXPECT_NE(message.find("--out"), std::string::npos) << message;
}

TEST(StationMesProbe, AnsweringAndSilentAddresses) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  socklen_t len = sizeof a;
  getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  const std::string port = std::to_string(ntohs(a.sin_port));
  EXPECT_EQ(station::ProbeMesUrl("http://127.0.0.1:" + port + "/querysn/cs_querysn.asmx"), "");
  close(listener);  // nothing listens there any more

  const std::string refused = station::ProbeMesUrl("http://127.0.0.1:" + port + "/querysn/cs_querysn.asmx");
  EXPECT_NE(refused.find("does not answer"), std::string::npos) << refused;
  EXPECT_NE(refused.find("--mes"), std::string::npos) << refused;
  EXPECT_NE(station::ProbeMesUrl("https://127.0.0.1/x").find("not an http:// URL"), std::string::npos);
  EXPECT_NE(station::ProbeMesUrl("http:///x").find("names no host"), std::string::npos);
  EXPECT_NE(station::ProbeMesUrl("http://no-such-host.invalid/x").find("cannot be found"), std::string::npos);
}

TEST(StationSummary, RowsPerPositionAndTotals) {
  station::PositionTally one{1, 3, 2, 1, 3, 3, 0};
  station::PositionTally two{4, 2, 0, 1, 1, 2, 1};
  const std::string table = station::FormatSummary({one, two});
  EXPECT_NE(table.find("position | units | PASS | FAIL | uploads accepted | rows exported | failed saves"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("1        |     3 |    2 |    1 |                3 |             3 |            0"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("all      |     5 |    2 |    2 |                4 |             5 |            1"),
            std::string::npos)
      << table;
}

}  // namespace
