// The module's own resources: pictures, the icon and the dialog template,
// compiled in and registered with the library. Bitmaps are found by name
// ("LIST3", "LISTPASS12") or by number ("5048" or 5048). The list pictures
// "LIST%d", "LISTPASS%d" and "LISTFAIL%d" of numbers above 16 are drawn on
// request in the same style as the stored ones.
#pragma once

#include <optional>
#include <string>

#include "platform/WinTypes.h"

class QImage;

namespace platform {

// Null image when there is no such bitmap.
QImage LoadBitmapResource(const std::string& name);
QImage LoadBitmapResource(UINT id);
// Icon pictures by number; null image when missing.
QImage LoadIconResource(UINT id);

struct DialogTemplate {
  DWORD style = 0;
  std::string caption;  // GBK
  std::string fontFace;
  int fontPointSize = 0;
  int width = 0;  // pixels
  int height = 0;
};
std::optional<DialogTemplate> FindDialogTemplate(UINT id);

// Draws a list picture: number n in cyan on background (white, green, red),
// 48 x 48, in 16 colours.
QImage DrawListPicture(int n, COLORREF background);

}  // namespace platform
