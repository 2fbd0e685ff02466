// SaveResult2EXL on a real monitor window: the list's rows, last column and
// serial number reach PCB.xls.
#include <gtest/gtest.h>

#include <cstdlib>

#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/ExeDirectory.h"
#include "tests/ScratchFolder.h"
#include "tests/XlsPeerDump.h"

namespace {

class PcbExportDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
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
  platform::ScopedClockOverride clock{1764935718};  // 2025/12/05 11:55:18 UTC
  CMonitorDialog dlg;
  ResultStructrue record;
};

}  // namespace

TEST_F(PcbExportDialog, ExportsTheListsItemsLastColumnAndSerialNumber) {
  ASSERT_EQ(dlg.InsertItem(2, "Voltage", "12.1V"), 1);
  ASSERT_EQ(dlg.InsertItem(2, "Video", "pass"), 1);
  ASSERT_EQ(dlg.SetSerialNumber(2, "SN-0002"), 1);
  ASSERT_EQ(dlg.InsertItem(1, "Other list", "FAIL"), 1);

  EXPECT_EQ(dlg.SaveResult2EXL(2, &record), 1);
  EXPECT_EQ(
      XlrdRead(dir.File("PCB.xls")).Texts("NVR-16"),
      (std::vector<std::vector<std::string>>{{U8(u8"时间"), "SN", "Voltage", "Video"},
                                             {U8(u8"当前日期：2025/12/05  11:55:18"), "SN-0002", "12.1V", "pass"}}));
}

TEST_F(PcbExportDialog, UnknownListOrMissingRecordReturnsFalse) {
  std::string before = ReadBytes(dir.File("PCB.xls"));
  EXPECT_EQ(dlg.SaveResult2EXL(3, &record), 0);
  EXPECT_EQ(dlg.SaveResult2EXL(1, nullptr), 0);
  EXPECT_EQ(ReadBytes(dir.File("PCB.xls")), before);
}
