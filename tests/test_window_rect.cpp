// A monitor window's rectangle is the size the host set, whatever frame the
// window system adds, and a window moved onto its own rectangle stays put.
// Runs on the offscreen platform, and (with MONITOR_TEST_X_SERVER=1) under
// the private Xvfb with a window manager that with_x_server.sh starts.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <string>
#include <array>
#include <cstdlib>

#include "monitor/MonitorDialog.h"
#include "platform/Application.h"

using namespace platform;

namespace {

const char* const kXServerFlag = std::getenv("MONITOR_TEST_X_SERVER");
const bool kUnderXServer = kXServerFlag && std::string(kXServerFlag) == "1";

// The window's rectangle once the window system has answered: under X,
// events are handled until it has stayed the same for 300 ms (5 s at most),
// since the window manager answers a move or a mapping when it gets to it.
std::array<int, 4> SettledRect(CMonitorDialog& dlg) {
  QElapsedTimer total, still;
  total.start();
  still.start();
  QRect last = dlg.GetQWidget()->geometry();
  do {
    PumpMessages();
    if (dlg.GetQWidget()->geometry() != last) last = dlg.GetQWidget()->geometry(), still.restart();
  } while (kUnderXServer && (still.elapsed() < 300 || !dlg.GetQWidget()->windowHandle()->isExposed()) &&
           total.elapsed() < 5000);
  CRect r;
  dlg.GetWindowRect(&r);
  return {r.left, r.top, r.Width(), r.Height()};
}

using WindowRect = ::testing::TestWithParam<std::pair<int, int>>;

TEST_P(WindowRect, IsTheSizeTheHostSetAndMovingOntoItChangesNothing) {
  const auto [width, height] = GetParam();
  CMonitorDialog dlg;
  dlg.m_nWndWidth = width;
  dlg.m_nWndHeight = height;
  dlg.m_rcScreen = CRect(0, 0, 1920, 1200);
  ASSERT_TRUE(dlg.Create(CMonitorDialog::IDD));
  dlg.ShowWindow(SW_SHOW);
  const std::array<int, 4> shown = SettledRect(dlg);
  if (kUnderXServer) ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  EXPECT_EQ(shown, (std::array<int, 4>{shown[0], shown[1], width, height}));
  CRect client;
  dlg.GetClientRect(&client);
  EXPECT_EQ(std::make_pair(client.Width(), client.Height()), std::make_pair(width, height));

  dlg.MoveWindow(shown[0], shown[1], width, height);
  EXPECT_EQ(SettledRect(dlg), shown);
  dlg.SetWindowPos(nullptr, shown[0], shown[1], width, height, SWP_NOZORDER);
  EXPECT_EQ(SettledRect(dlg), shown);
  // A new size: the window has it, with the same position.
  dlg.MoveWindow(shown[0], shown[1], width + 37, height + 11);
  EXPECT_EQ(SettledRect(dlg), (std::array<int, 4>{shown[0], shown[1], width + 37, height + 11}));
  dlg.DestroyWindow();
  PumpMessages();
}

INSTANTIATE_TEST_SUITE_P(Sizes, WindowRect,
                         ::testing::Values(std::pair(1013, 677), std::pair(411, 999)), [](const auto& info) {
                           return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

}  // namespace
