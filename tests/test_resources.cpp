#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <set>

#include "platform/Application.h"
#include "platform/Dialog.h"
#include "platform/Gdi.h"
#include "platform/Resources.h"
#include "platform/WinBool.h"

using namespace platform;

namespace {

std::set<QRgb> Colours(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y) | 0xFF000000u);
  return colours;
}

const QRgb kWhite = qRgb(255, 255, 255), kGreen = qRgb(0, 255, 0), kRed = qRgb(255, 0, 0), kCyan = qRgb(0, 255, 255),
           kBlack = qRgb(0, 0, 0);

TEST(Resources, ListPicturesShowTheNumberInCyanOnTheirColour) {
  struct Kind {
    const char* prefix;
    QRgb background;
    int first;
  };
  for (const Kind& kind : {Kind{"LIST", kWhite, 0}, Kind{"LISTPASS", kGreen, 1}, Kind{"LISTFAIL", kRed, 0}}) {
    for (int n : {kind.first, 9, 16}) {  // one digit, two digits, the last stored one
      const std::string name = kind.prefix + std::to_string(n);
      const QImage image = LoadBitmapResource(name);
      ASSERT_FALSE(image.isNull()) << name;
      EXPECT_EQ(std::make_tuple(image.size(), image.colorCount() > 0 && image.colorCount() <= 16),
                std::make_tuple(QSize(48, 48), true))
          << name << " is no 48 x 48 palette picture";
      EXPECT_EQ(Colours(image), (std::set<QRgb>{kind.background, kCyan})) << name;
      // The stored pictures and the ones drawn at run time look the same.
      EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32),
                DrawListPicture(n, RGB(qRed(kind.background), qGreen(kind.background), qBlue(kind.background)))
                    .convertToFormat(QImage::Format_RGB32))
          << name;
    }
  }
  EXPECT_TRUE(LoadBitmapResource("LISTPASS0").isNull());
}

TEST(Resources, ListsAboveSixteenGetAPictureOfTheirOwnNumber) {
  for (const char* name : {"LISTPASS17", "LIST123456789"})
    EXPECT_EQ(LoadBitmapResource(name).size(), QSize(48, 48)) << name;
  EXPECT_NE(LoadBitmapResource("LIST17"), LoadBitmapResource("LIST18"));
  EXPECT_EQ(LoadBitmapResource("LISTFAIL17").pixel(0, 0) | 0xFF000000u, kRed);
  // Names that are not list pictures give an empty picture.
  for (const char* name : {"LIST", "LIST-1", "LIST1x", "LIST1234567890", "LISTPASS", "", "../LIST1", "5049"}) {
    EXPECT_TRUE(LoadBitmapResource(name).isNull()) << name;
  }
  // Resource names do not care about case.
  EXPECT_FALSE(LoadBitmapResource("list3").isNull());
}

TEST(Resources, RowMarksAndIcon) {
  EXPECT_EQ(Colours(LoadBitmapResource(5050)), (std::set<QRgb>{kGreen, kBlack}));
  EXPECT_EQ(LoadBitmapResource("#5051").size(), QSize(48, 48));
  EXPECT_NE(LoadIcon(5049), nullptr);
}

// (Initialised after its window exists: the monitor builds its lists then.)
TEST(Dialog, ModelessCreationIsHiddenAndEscapeOrCloseOnlyHide) {
  CDialog dialog(15003);
  EXPECT_FALSE(dialog.Create(4711));  // no such template
  ASSERT_TRUE(dialog.Create(15003));
  EXPECT_FALSE(dialog.IsWindowVisible());
  dialog.SetWindowText("\xBC\xE0\xCA\xD3");  // 监视
  EXPECT_EQ(dialog.GetWindowText(), "\xBC\xE0\xCA\xD3");
  dialog.ShowWindow(SW_SHOW);
  MSG msg{dialog.GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE};
  EXPECT_TRUE(dialog.PreTranslateMessage(&msg));
  EXPECT_FALSE(dialog.IsWindowVisible());
  dialog.ShowWindow(SW_SHOW);
  dialog.SendMessage(WM_CLOSE);
  EXPECT_FALSE(dialog.IsWindowVisible());
  EXPECT_TRUE(dialog.DestroyWindow());  // a modeless dialog only hides
  EXPECT_FALSE(dialog.DestroyWindow());
}

// Ended from a timer, as a host's would, while the window is up.
TEST(Dialog, DoModalRunsUntilEndDialog) {
  EnsureApplication();
  CDialog dialog(15003);
  BOOL visibleWhenRunning = FALSE;
  QTimer::singleShot(0, [&] {
    visibleWhenRunning = dialog.IsWindowVisible();
    dialog.EndDialog(42);
  });
  EXPECT_EQ(dialog.DoModal(), 42);
  EXPECT_TRUE(visibleWhenRunning);
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(Application, AHostWithoutDisplayGetsTheOffscreenPlatform) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // A fresh process: no application object yet, no display, no platform.
  EXPECT_EXIT(
      {
        unsetenv("QT_QPA_PLATFORM");
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        CDialog dialog(15003);
        const bool created = dialog.Create(15003) != FALSE;
        const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");
        std::exit(created && offscreen ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
