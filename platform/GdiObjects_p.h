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
  // The picture last stretched from it, kept while its source, size and
  // pixel format stay the same (a window repaints its background often).
  struct Stretched {
    qint64 sourceKey = 0;
    QRect source;
    QSize size;
    QImage::Format format = QImage::Format_Invalid;
    QImage image;
  } stretched;
};

}  // namespace platform
