#include "platform/ScreenWorkArea.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

namespace platform {

RECT GetPrimaryWorkArea() {
  if (!QGuiApplication::instance()) return RECT{};
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return RECT{};
  const QRect r = screen->availableGeometry();
  return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

}  // namespace platform
