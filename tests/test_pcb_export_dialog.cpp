// SaveResult2EXL on a real monitor window: arguments that name no list or no
// record (what a list exports is read back in the result-saving tests).
#include <gtest/gtest.h>

#include <cstdlib>

#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "platform/Application.h"
#include "platform/ExeDirectory.h"
#include "tests/ScratchFolder.h"

namespace {

class PcbExportDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    dlg.m_nRows = 1;
    dlg.m_nCols = 2;
    dlg.m_rcScreen = platform::CRect(0, 0, 1280, 800);
    ASSERT_TRUE(dlg.Create(CMonitorDialog::IDD));
    platform::PumpMessages();
    std::filesystem::copy_file(FixturePath("xls/lo_empty_3sheets.xls"), dir.File("PCB.xls"));
    record.strModel = "NVR-16";
  }

  ScratchFolder dir;
  platform::ScopedExeDirectoryOverride exeDir{dir.Path()};
  CMonitorDialog dlg;
  ResultStructrue record;
};

}  // namespace

TEST_F(PcbExportDialog, UnknownListOrMissingRecordReturnsFalse) {
  std::string before = ReadBytes(dir.File("PCB.xls"));
  ASSERT_EQ(dlg.InsertItem(1, "Voltage", "12.1V"), 1);
  EXPECT_EQ(dlg.SaveResult2EXL(3, &record), 0);
  EXPECT_EQ(dlg.SaveResult2EXL(1, nullptr), 0);
  EXPECT_EQ(ReadBytes(dir.File("PCB.xls")), before);
}
