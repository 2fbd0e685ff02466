// A sample station host: opens the results monitor with a 2 x 2 grid, feeds
// test items into each position, has the positions judged, and shows the
// window until it is closed. Without a display it saves a PNG of the window
// instead (path: first argument, default monitor-sample.png) and exits.
//
// Texts handed to the monitor are GBK bytes, as a station's host passes them.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "monitor/MonitorDialog.h"
#include "platform/Application.h"

namespace {

struct TestItem {
  const char* name;    // GBK
  const char* result;  // as the test step reports it
};

// 自动测试工位 结果监视 (automatic test station, results monitor)
const char kTitle[] = "\xd7\xd4\xb6\xaf\xb2\xe2\xca\xd4\xb9\xa4\xce\xbb\x20\xbd\xe1\xb9\xfb\xbc\xe0\xca\xd3";
const char kNetwork[] = "\xcd\xf8\xc2\xe7\xc1\xac\xbd\xd3";   // 网络连接 network link
const char kVideo[] = "\xca\xd3\xc6\xb5\xca\xe4\xb3\xf6";     // 视频输出 video output
const char kAudio[] = "\xd2\xf4\xc6\xb5\xbb\xd8\xbb\xb7";     // 音频回环 audio loop-back
const char kInfrared[] = "\xba\xec\xcd\xe2\xd2\xb9\xca\xd3";  // 红外夜视 infrared night vision
const char kPanTilt[] = "\xd4\xc6\xcc\xa8\xd7\xaa\xb6\xaf";   // 云台转动 pan-tilt
const char kPower[] = "\xb5\xe7\xd4\xb4\xb5\xe7\xd1\xb9";     // 电源电压 supply voltage
const char kAlarm[] = "\xb1\xa8\xbe\xaf\xca\xe4\xc8\xeb";     // 报警输入 alarm input
const char kDisk[] = "\xd3\xb2\xc5\xcc\xbc\xec\xb2\xe2";      // 硬盘检测 hard disk
const char kStorage[] = "\xb4\xe6\xb4\xa2\xd0\xb4\xc8\xeb";   // 存储写入 storage write
const char kClock[] = "\xca\xb1\xd6\xd3\xd0\xa3\xd7\xbc";     // 时钟校准 clock calibration
const char kTesting[] = "\xb2\xe2\xca\xd4\xd6\xd0";           // 测试中 testing

bool Headless() {
  const char* platformName = std::getenv("QT_QPA_PLATFORM");
  if (platformName && std::string(platformName) == "offscreen") return true;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return !(x11 && *x11) && !(wayland && *wayland);
}

void Feed(CMonitorDialog& dlg, int nListID, const char* serial, const char* type, const std::vector<TestItem>& items) {
  dlg.DeleteAllItems(nListID);
  dlg.SetSerialNumber(nListID, serial);
  dlg.SetType(nListID, type);
  for (const TestItem& item : items) dlg.InsertItem(nListID, item.name, item.result);
}

void RunStation(CMonitorDialog& dlg) {
  TestJudgeFLAG byRows;
  byRows.nJudgeMode = 1;
  byRows.nPassFlag = 1;

  // Position 1: a camera that passed every item.
  Feed(dlg, 1, "IPC20261206A0001", "IPC",
       {{kNetwork, "PASS"},
        {kVideo, "PASS"},
        {kAudio, "pass"},
        {kInfrared, "PASS"},
        {kPanTilt, "PASS"},
        {kPower, "12.02V PASS"}});
  dlg.ViewResult(1, &byRows);

  // Position 2: a recorder with a failed disk.
  Feed(dlg, 2, "NVR20261206B0002", "NVR",
       {{kNetwork, "PASS"}, {kVideo, "PASS"}, {kDisk, "FAIL: no disk"}, {kStorage, "PASS"}, {kAlarm, "PASS"}});
  dlg.ViewResult(2, &byRows);

  // Position 3: a unit still under test: items come in and are updated.
  Feed(dlg, 3, "DVR20261206C0003", "DVR", {{kNetwork, "PASS"}, {kVideo, "PASS"}});
  std::string testing = kTesting;
  dlg.SetItemExt(3, kAudio, testing);
  dlg.SetItemExt(3, kClock, testing);
  dlg.SetItemExt(3, kAudio, "PASS");

  // Position 4: judged by the host itself.
  Feed(dlg, 4, "IPC20261206A0004", "IPC", {{kNetwork, "PASS"}, {kVideo, "PASS"}, {kAlarm, "PASS"}});
  dlg.ViewResult(4, 1);
}

std::string SaveWindowPicture(CMonitorDialog& dlg, const std::string& path) {
  platform::PumpMessages();
  QWidget* window = dlg.GetQWidget();
  if (!window || !window->grab().save(QString::fromLocal8Bit(path.c_str()), "PNG")) return {};
  return QFileInfo(QString::fromLocal8Bit(path.c_str())).absoluteFilePath().toStdString();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string pngPath = argc > 1 ? argv[1] : "monitor-sample.png";
  const bool headless = Headless();
  if (headless) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);

  CMonitorDialog dlg;
  dlg.m_nRows = 2;
  dlg.m_nCols = 2;
  dlg.m_strTitle = kTitle;
  dlg.m_nWndWidth = 1000;
  dlg.m_nWndHeight = 700;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect work = screen->availableGeometry();
    dlg.m_rcScreen = platform::CRect(work.left(), work.top(), work.left() + work.width(), work.top() + work.height());
  }

  if (headless) {
    if (!dlg.Create(CMonitorDialog::IDD)) {
      std::fprintf(stderr, "monitor-sample: the monitor window could not be created\n");
      return 1;
    }
    dlg.ShowWindow(platform::SW_SHOW);
    RunStation(dlg);
    const std::string saved = SaveWindowPicture(dlg, pngPath);
    if (saved.empty()) {
      std::fprintf(stderr, "monitor-sample: cannot write %s\n", pngPath.c_str());
      return 1;
    }
    std::printf("No display: the monitor window was saved to %s\n", saved.c_str());
    return 0;
  }

  // With a display the station runs modal, feeding once the window is up.
  std::function<void()> feedWhenUp = [&] {
    if (dlg.FindListCtrl(1)) {
      RunStation(dlg);
    } else {
      QTimer::singleShot(20, feedWhenUp);
    }
  };
  QTimer::singleShot(0, feedWhenUp);
  return dlg.DoModal() == -1 ? 1 : 0;
}
