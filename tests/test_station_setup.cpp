// What the station checks before the first unit: the output folder, PCB.xls
// and the MES address.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "station/MesProbe.h"
#include "station/OutputFolder.h"
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

TEST(StationWorkbook, ReplacedWithABackupOrRefusedWithoutTemplate) {
  ScratchFolder dir;
  const std::string templ = dir.File("template.xls");
  WriteBytes(templ, kXlsSignature + "template");
  const std::string workbook = dir.File("PCB.xls");
  std::string backup;

  // Made on a first run, kept on the next and refused when it is no workbook: the end-to-end test.
  WriteBytes(workbook, kXlsSignature + "rows of earlier units");
  // A fresh workbook keeps the old one beside it.
  EXPECT_EQ(station::ProvideWorkbook(dir.Path(), templ, true, backup), station::WorkbookState::Replaced);
  EXPECT_EQ(ReadBytes(workbook), kXlsSignature + "template");
  EXPECT_EQ(ReadBytes(backup), kXlsSignature + "rows of earlier units");

  const std::string noTemplate =
      ErrorOf([&] { station::ProvideWorkbook(dir.File("sub-missing"), dir.File("none.xls"), false, backup); });
  EXPECT_NE(noTemplate.find("template"), std::string::npos) << noTemplate;
}

// A refused connection and a read-only folder are in the end-to-end error table.
TEST(StationMesProbe, UnusableAddressesAreNamed) {
  const std::pair<const char*, const char*> cases[] = {{"https://127.0.0.1/x", "not an http:// URL"},
                                                       {"http:///x", "names no host"},
                                                       {"http://no-such-host.invalid/x", "cannot be found"}};
  for (const auto& [url, why] : cases) EXPECT_NE(station::ProbeMesUrl(url).find(why), std::string::npos) << url;
}

}  // namespace
