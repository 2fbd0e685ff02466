#include "platform/Resources.h"

#include <QFile>
#include <QImage>
#include <cctype>
#include <string_view>

// The pictures are compiled in (resources/pictures.qrc) and register
// themselves when the library loads. Referring to the initialiser here keeps
// them linked into every program that uses the lookup.
static void RegisterMonitorPictures() {
  Q_INIT_RESOURCE(pictures);
}
static void UnregisterMonitorPictures() {
  Q_CLEANUP_RESOURCE(pictures);
}

namespace platform {

namespace {

// Registers the pictures only when their own load-time registration did not
// happen, and then takes them away again when the module unloads: nothing may
// stay registered that points into an unloaded library.
class PicturesRegistration {
 public:
  PicturesRegistration() {
    if (!QFile::exists(QStringLiteral(":/monitor/LIST1.bmp"))) {
      RegisterMonitorPictures();
      m_registered = true;
    }
  }
  ~PicturesRegistration() {
    if (m_registered) UnregisterMonitorPictures();
  }

 private:
  bool m_registered = false;
};

void EnsureRegistered() {
  static PicturesRegistration registration;
}

// 5 x 7 digit shapes, the same as those of resources/draw_pictures.py.
const char* const kDigits[10][7] = {
    {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "},
    {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "},
    {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"},
    {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "},
    {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "},
    {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "},
    {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "},
    {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "},
    {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "},
    {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "},
};

// The 16-colour palette of the stored pictures (VGA order).
const QRgb kPalette[16] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};
constexpr int kCyan = 14;

int PaletteIndex(COLORREF color) {
  const QRgb rgb = qRgb(GetRValue(color), GetGValue(color), GetBValue(color));
  for (int i = 0; i < 16; ++i)
    if (kPalette[i] == rgb) return i;
  return 15;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// "LIST17" -> (prefix "LIST", 17); false when the name is not a list picture
// name with a plain decimal number that fits an int.
bool SplitListName(const std::string& name, std::string* prefix, int* number) {
  for (const char* p : {"LISTPASS", "LISTFAIL", "LIST"}) {
    const std::string_view pv(p);
    if (name.size() <= pv.size() || name.compare(0, pv.size(), pv) != 0) continue;
    const std::string digits = name.substr(pv.size());
    if (digits.size() > 9) return false;
    for (char c : digits)
      if (c < '0' || c > '9') return false;
    *prefix = p;
    *number = std::stoi(digits);
    return true;
  }
  return false;
}

}  // namespace

QImage DrawListPicture(int n, COLORREF background) {
  QImage image(48, 48, QImage::Format_Indexed8);
  image.setColorCount(16);
  for (int i = 0; i < 16; ++i) image.setColor(i, kPalette[i]);
  image.fill(static_cast<uint>(PaletteIndex(background)));
  if (n < 0) return image;
  const std::string text = std::to_string(n);
  const int count = static_cast<int>(text.size());
  const int scale = count <= 2 ? 3 : (count <= 4 ? 2 : 1);
  // Glyphs are 5 wide with a gap of one glyph pixel; nine digits at scale 1
  // need 53 pixels, so the gap goes before the width does.
  int gap = scale;
  if (count * 5 * scale + (count - 1) * gap > 48) gap = 0;
  const int width = count * 5 * scale + (count - 1) * gap;
  const int height = 7 * scale;
  const int x0 = 24 - width / 2;
  const int y0 = 24 - height / 2;
  for (int i = 0; i < count; ++i) {
    const int gx = x0 + i * (5 * scale + gap);
    const auto& glyph = kDigits[text[i] - '0'];
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col) {
        if (glyph[row][col] != '#') continue;
        for (int dy = 0; dy < scale; ++dy)
          for (int dx = 0; dx < scale; ++dx) {
            const int x = gx + col * scale + dx, y = y0 + row * scale + dy;
            if (x >= 0 && x < 48 && y >= 0 && y < 48) image.setPixel(x, y, kCyan);
          }
      }
  }
  return image;
}

QImage LoadBitmapResource(const std::string& rawName) {
  EnsureRegistered();
  // Resource names are case-insensitive; "#5048" names a number.
  std::string name = Upper(rawName);
  if (!name.empty() && name[0] == '#') name.erase(0, 1);
  if (name.empty() || name.find_first_of("/\\.:") != std::string::npos) return QImage();
  const QString path = QStringLiteral(":/monitor/") + QString::fromStdString(name) + QStringLiteral(".bmp");
  if (QFile::exists(path)) return QImage(path);
  std::string prefix;
  int number = 0;
  if (SplitListName(name, &prefix, &number) && number > 16) {
    const COLORREF bg = prefix == "LISTPASS"   ? RGB(0, 255, 0)
                        : prefix == "LISTFAIL" ? RGB(255, 0, 0)
                                               : RGB(255, 255, 255);
    return DrawListPicture(number, bg);
  }
  return QImage();
}

QImage LoadBitmapResource(UINT id) {
  return LoadBitmapResource(std::to_string(id));
}

QImage LoadIconResource(UINT id) {
  EnsureRegistered();
  const QString path = QStringLiteral(":/monitor/%1.png").arg(id);
  return QFile::exists(path) ? QImage(path) : QImage();
}

std::optional<DialogTemplate> FindDialogTemplate(UINT id) {
  if (id != 15003) return std::nullopt;
  // The monitor window: an empty resizable pop-up with caption and system menu.
  DialogTemplate t;
  t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
  t.fontFace = "MS Shell Dlg";
  t.fontPointSize = 10;
  t.width = 320;
  t.height = 240;
  return t;
}

}  // namespace platform
