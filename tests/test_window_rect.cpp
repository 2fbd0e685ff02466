// A monitor window's rectangle is the size the host set, whatever frame the
// window system adds, and a window moved onto its own rectangle stays put.
// Runs on the offscreen platform, and (with MONITOR_TEST_X_SERVER=1) under
// the private Xvfb with a window manager that with_x_server.sh starts.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <array>
#include <cstdlib>
#include <memory>

#include "monitor/MonitorDialog.h"
#include "platform/Application.h"

using namespace platform;

namespace {

bool UnderXServer() {
  const char* flag = std::getenv("MONITOR_TEST_X_SERVER");
  return flag && std::string(flag) == "1";
}

// Lets the window system answer: under X, events are handled until the
// window's rectangle has stayed the same for 300 ms (5 s at most), since the
// window manager answers a move or a mapping when it gets to it.
void Settle(QWidget* window) {
  PumpMessages();
  if (!UnderXServer()) return;
  QElapsedTimer total, still;
  total.start();
  still.start();
  QRect last = window->geometry();
  while (still.elapsed() < 300 && total.elapsed() < 5000) {
    PumpMessages();
    if (window->geometry() != last) {
      last = window->geometry();
      still.restart();
    }
  }
}

// Left, top, width and height.
std::array<int, 4> Text(const CRect& r) {
  return {r.left, r.top, r.Width(), r.Height()};
}

using WindowRect = ::testing::TestWithParam<std::pair<int, int>>;

TEST_P(WindowRect, IsTheSizeTheHostSetAndMovingOntoItChangesNothing) {
  const CSize size(GetParam().first, GetParam().second);
  CMonitorDialog dlg;
  dlg.m_nWndWidth = size.cx;
  dlg.m_nWndHeight = size.cy;
  dlg.m_rcScreen = CRect(0, 0, 1920, 1200);
  ASSERT_TRUE(dlg.Create(CMonitorDialog::IDD));
  dlg.ShowWindow(SW_SHOW);
  QElapsedTimer exposed;
  exposed.start();
  while (!dlg.GetQWidget()->windowHandle()->isExposed() && exposed.elapsed() < 5000) PumpMessages();
  Settle(dlg.GetQWidget());
  if (UnderXServer()) ASSERT_EQ(QGuiApplication::platformName(), "xcb");

  CRect shown, client;
  dlg.GetWindowRect(&shown);
  dlg.GetClientRect(&client);
  EXPECT_EQ(Text(shown), Text(CRect(shown.left, shown.top, shown.left + size.cx, shown.top + size.cy)));
  EXPECT_EQ(Text(client), Text(CRect(0, 0, size.cx, size.cy)));

  for (bool setPos : {false, true}) {
    if (setPos)
      dlg.SetWindowPos(nullptr, shown.left, shown.top, shown.Width(), shown.Height(), SWP_NOZORDER);
    else
      dlg.MoveWindow(&shown);
    Settle(dlg.GetQWidget());
    CRect after;
    dlg.GetWindowRect(&after);
    EXPECT_EQ(Text(after), Text(shown)) << setPos;
  }
  // A new size: the window has it, with the same position.
  dlg.MoveWindow(shown.left, shown.top, size.cx + 37, size.cy + 11);
  Settle(dlg.GetQWidget());
  CRect resized;
  dlg.GetWindowRect(&resized);
  EXPECT_EQ(Text(resized), Text(CRect(shown.left, shown.top, shown.left + size.cx + 37, shown.top + size.cy + 11)));
  dlg.DestroyWindow();
  PumpMessages();
}

INSTANTIATE_TEST_SUITE_P(Sizes, WindowRect,
                         ::testing::Values(std::pair(1013, 677), std::pair(411, 999)), [](const auto& info) {
                           return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

}  // namespace
