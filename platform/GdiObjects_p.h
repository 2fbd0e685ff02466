// Inside the windowing layer: what the drawing handles hold.
#pragma once

#include <QIcon>
#include <QImage>

#include "platform/Gdi.h"

namespace platform {

struct GdiBrush {
  COLORREF color;
};
struct GdiIcon {
  QIcon icon;
};
struct GdiBitmap {
  QImage image;
};

}  // namespace platform
