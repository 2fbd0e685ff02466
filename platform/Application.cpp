#include "platform/Application.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "platform/WndBridge_p.h"

namespace platform {

void EnsureApplication() {
  if (!QCoreApplication::instance()) {
    // Hosts need not know Qt: the module makes the application object. With
    // no display at all the offscreen platform keeps Qt from aborting.
    const char* qpa = std::getenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!qpa || !*qpa) && (!display || !*display) && (!wayland || !*wayland))
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "monitor";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  } else if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    std::fprintf(stderr, "monitor: the host's application object is not a QApplication; windows cannot be made\n");
  }
  InstallKeyFilter();
}

void PumpMessages() {
  if (!QCoreApplication::instance()) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  FreeDestroyedWidgets();
}

}  // namespace platform
