// What the station checks before the first unit: the output folder, PCB.xls
// and the MES address.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "station/MesProbe.h"
#include "station/OutputFolder.h"
#include "tests/ScratchFolder.h"

namespace {

const std::string kXlsSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

TEST(StationWorkbook, ReplacedWithABackupOrRefusedWithoutTemplate) {
  // Made on a first run, kept on the next and refused when it is no workbook: the end-to-end test.
  ScratchFolder dir;
  WriteBytes(dir.File("template.xls"), kXlsSignature + "template");
  WriteBytes(dir.File("PCB.xls"), kXlsSignature + "rows of earlier units");
  std::string backup;  // a fresh workbook keeps the old one beside it
  EXPECT_EQ(station::ProvideWorkbook(dir.Path(), dir.File("template.xls"), true, backup),
            station::WorkbookState::Replaced);
  EXPECT_EQ(ReadBytes(dir.File("PCB.xls")) + ReadBytes(backup),
            kXlsSignature + "template" + kXlsSignature + "rows of earlier units");
  try {
    station::ProvideWorkbook(dir.File("sub-missing"), dir.File("none.xls"), false, backup);
    ADD_FAILURE() << "no template, yet a workbook";
  } catch (const station::SetupError& e) {
    EXPECT_NE(std::string(e.what()).find("template"), std::string::npos) << e.what();
  }
}

// A refused connection and a read-only folder are in the end-to-end error table.
TEST(StationMesProbe, UnusableAddressesAreNamed) {
  const std::pair<const char*, const char*> cases[] = {{"https://127.0.0.1/x", "not an http:// URL"},
                                                       {"http:///x", "names no host"},
                                                       {"http://no-such-host.invalid/x", "cannot be found"}};
  for (const auto& [url, why] : cases) EXPECT_NE(station::ProbeMesUrl(url).find(why), std::string::npos) << url;
}

}  // namespace
