#include "platform/Gdi.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <cmath>
#include <map>
#include <vector>

#include "platform/Application.h"
#include "platform/GdiObjects_p.h"
#include "platform/Resources.h"
#include "platform/WndBridge_p.h"

namespace platform {

HBRUSH CreateSolidBrush(COLORREF color) {
  return new GdiBrush{color};
}

BOOL DeleteObject(HBRUSH brush) {
  if (!brush) return FALSE;
  delete brush;
  return TRUE;
}

BOOL DeleteObject(HBITMAP bitmap) {
  if (!bitmap) return FALSE;
  delete bitmap;
  return TRUE;
}

COLORREF GetBrushColor(HBRUSH brush) {
  return brush ? brush->color : CLR_NONE;
}

HICON LoadIcon(UINT nIDResource) {
  // Shared icons live as long as the module.
  static std::map<UINT, GdiIcon*> icons;
  auto it = icons.find(nIDResource);
  if (it != icons.end()) return it->second;
  // Icons are window-system objects: they need the application object.
  EnsureApplication();
  const QImage image = LoadIconResource(nIDResource);
  if (image.isNull()) return nullptr;
  GdiIcon* icon = new GdiIcon{QIcon(QPixmap::fromImage(image))};
  icons[nIDResource] = icon;
  return icon;
}

// ---- CBitmap ----

CBitmap::CBitmap() = default;
CBitmap::~CBitmap() {
  DeleteObject();
}

BOOL CBitmap::LoadBitmap(const std::string& resourceName) {
  if (m_hObject) return FALSE;
  QImage image = LoadBitmapResource(resourceName);
  if (image.isNull()) return FALSE;
  m_hObject = new GdiBitmap{std::move(image), {}};
  return TRUE;
}

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
  return LoadBitmap(std::to_string(nIDResource));
}

BOOL CBitmap::Attach(HBITMAP bitmap) {
  if (m_hObject || !bitmap) return FALSE;
  m_hObject = bitmap;
  return TRUE;
}

BOOL CBitmap::DeleteObject() {
  if (!m_hObject) return FALSE;
  delete m_hObject;
  m_hObject = nullptr;
  return TRUE;
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const {
  if (!m_hObject || !pBitMap) return FALSE;
  const QImage& image = m_hObject->image;
  pBitMap->bmWidth = image.width();
  pBitMap->bmHeight = image.height();
  return TRUE;
}

const QImage* CBitmap::Image() const {
  return m_hObject ? &m_hObject->image : nullptr;
}
QImage* CBitmap::Image() {
  return m_hObject ? &m_hObject->image : nullptr;
}

// ---- CFont ----

CFont::CFont() = default;
CFont::~CFont() = default;

BOOL CFont::DeleteObject() {
  if (!m_font) return FALSE;
  m_font.reset();
  return TRUE;
}

void CFont::SetFont(const QFont& font) {
  m_font = std::make_unique<QFont>(font);
}

// ---- CDC ----

CDC::CDC() : m_font(std::make_unique<QFont>()) {}
CDC::~CDC() = default;

BOOL CDC::CreateCompatibleDC(CDC* /*pDC*/) {
  if (m_painter) return FALSE;
  m_memory = true;
  return TRUE;
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
  CBitmap* old = m_selectedBitmap;
  m_selectedBitmap = pBitmap;
  return old;
}

CFont* CDC::SelectObject(CFont* pFont) {
  CFont* old = m_selectedFont;
  m_selectedFont = pFont;
  if (pFont && pFont->Font()) {
    *m_font = *pFont->Font();
    if (m_painter) m_painter->setFont(*m_font);
  }
  return old;
}

constexpr int kBandLines = 64;

void ForEachBand(const QRect& area, const std::function<void(const QRect&)>& draw) {
  for (int y = area.top(); y <= area.bottom(); y += kBandLines)
    draw(QRect(area.left(), y, area.width(), std::min(kBandLines, area.bottom() + 1 - y)));
}

void FillBanded(QPainter* painter, const QRect& area, const QColor& color) {
  ForEachBand(area, [&](const QRect& band) { painter->fillRect(band, color); });
}

void DrawImageBanded(QPainter* painter, const QPoint& at, const QImage& image) {
  const int height = static_cast<int>(image.height() / image.devicePixelRatio());
  const int width = static_cast<int>(image.width() / image.devicePixelRatio());
  if (image.devicePixelRatio() != 1.0) {
    painter->drawImage(at, image);
    return;
  }
  ForEachBand(QRect(0, 0, width, height),
              [&](const QRect& band) { painter->drawImage(at + band.topLeft(), image, band); });
}

namespace {

// The picture stretched to the target size, from the bitmap's cache.
const QImage* StretchedCopy(const QPainter& into, GdiBitmap* bitmap, const QRect& target, const QRect& source) {
  // Only where copying the stretched picture gives the very same pixels as
  // stretching it here: whole-pixel placement, opaque source, one device
  // pixel per pixel, and a raster image to draw into.
  if (!bitmap || target.width() <= 0 || target.height() <= 0 || source.width() <= 0 || source.height() <= 0)
    return nullptr;
  const QImage& picture = bitmap->image;
  if (!picture.rect().contains(source) || picture.hasAlphaChannel() || into.opacity() != 1.0) return nullptr;
  const QTransform& transform = into.deviceTransform();
  if (transform.type() > QTransform::TxTranslate || transform.dx() != std::floor(transform.dx()) ||
      transform.dy() != std::floor(transform.dy()))
    return nullptr;
  QPaintEngine* engine = into.paintEngine();
  QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
  if (!device || device->devType() != QInternal::Image || device->devicePixelRatio() != 1.0) return nullptr;
  const QImage::Format format = static_cast<QImage*>(device)->format();

  GdiBitmap::Stretched& cache = bitmap->stretched;
  if (cache.sourceKey != picture.cacheKey() || cache.source != source || cache.size != target.size() ||
      cache.format != format || cache.image.isNull()) {
    QImage stretched(target.size(), format);
    if (stretched.isNull()) return nullptr;
    QPainter painter(&stretched);
    painter.setRenderHints(into.renderHints());
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRect(QPoint(0, 0), target.size()), picture, source);
    painter.end();
    cache = GdiBitmap::Stretched{picture.cacheKey(), source, target.size(), format, std::move(stretched)};
  }
  return &cache.image;
}

}  // namespace

BOOL CDC::StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                     int nSrcHeight, DWORD /*dwRop*/) {
  if (!m_painter || !pSrcDC || !pSrcDC->m_selectedBitmap) return FALSE;
  const QImage* image = pSrcDC->m_selectedBitmap->Image();
  if (!image || nWidth == 0 || nHeight == 0 || nSrcWidth == 0 || nSrcHeight == 0) return FALSE;
  const QRect target(x, y, nWidth, nHeight);
  const QRect source(xSrc, ySrc, nSrcWidth, nSrcHeight);
  // Plain pixel copy, as the platform's default stretch mode does.
  m_painter->save();
  m_painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
  m_painter->setCompositionMode(QPainter::CompositionMode_Source);
  if (const QImage* stretched = StretchedCopy(*m_painter, pSrcDC->m_selectedBitmap->m_hObject, target, source)) {
    DrawImageBanded(m_painter, target.topLeft(), *stretched);
  } else {
    ForEachBand(target, [&](const QRect& band) {
      m_painter->save();
      m_painter->setClipRect(band, Qt::IntersectClip);
      m_painter->drawImage(target, *image, source);
      m_painter->restore();
    });
  }
  m_painter->restore();
  return TRUE;
}

void CDC::FillSolidRect(const RECT* rect, COLORREF color) {
  if (!m_painter || !rect) return;
  FillBanded(m_painter, ToQRect(*rect), ToQColor(color));
}

void CDC::FillRect(const RECT* rect, HBRUSH brush) {
  if (brush) FillSolidRect(rect, brush->color);
}

void CDC::FrameRect(const RECT* rect, HBRUSH brush) {
  if (!m_painter || !rect || !brush) return;
  const QRect r = ToQRect(*rect);
  if (r.isEmpty()) return;
  const QColor c = ToQColor(brush->color);
  m_painter->fillRect(QRect(r.left(), r.top(), r.width(), 1), c);
  m_painter->fillRect(QRect(r.left(), r.bottom(), r.width(), 1), c);
  m_painter->fillRect(QRect(r.left(), r.top(), 1, r.height()), c);
  m_painter->fillRect(QRect(r.right(), r.top(), 1, r.height()), c);
}

CSize CDC::GetTextExtent(const std::string& text) const {
  const QFontMetrics fm(*m_font);
  return CSize(fm.horizontalAdvance(ToQt(text)), fm.height());
}

COLORREF CDC::SetTextColor(COLORREF color) {
  COLORREF old = m_textColor;
  m_textColor = color;
  return old;
}

void CDC::AttachPainter(QPainter* painter, const QFont& font) {
  m_painter = painter;
  *m_font = font;
  if (painter) painter->setFont(font);
}

// ---- CClientDC ----

CClientDC::CClientDC(CWnd* pWnd) {
  if (!pWnd || !pWnd->GetQWidget()) return;
  QWidget* widget = pWnd->GetQWidget();
  if (CFont* font = pWnd->GetFont(); font && font->Font())
    *m_font = *font->Font();
  else
    *m_font = widget->font();
  BridgeAccess* access = BridgeOf(widget);
  QWidget* target = access ? access->PaintTarget() : widget;
  // Painting is only possible while the window paints.
  if (target->testAttribute(Qt::WA_WState_InPaintEvent)) {
    m_ownPainter = std::make_unique<QPainter>(target);
    if (access) m_ownPainter->translate(-access->PaintOffset());
    AttachPainter(m_ownPainter.get(), *m_font);
  }
}

CClientDC::~CClientDC() {
  if (m_ownPainter) m_ownPainter->end();
}

// ---- CImageList ----

struct CImageList::Data {
  int cx = 0;
  int cy = 0;
  bool mask = false;
  std::vector<QImage> images;
};

CImageList::CImageList() = default;
CImageList::~CImageList() = default;

BOOL CImageList::Create(int cx, int cy, UINT nFlags, int nInitial, int /*nGrow*/) {
  if (m_created || cx <= 0 || cy <= 0) return FALSE;
  m_data = std::make_unique<Data>();
  m_data->cx = cx;
  m_data->cy = cy;
  m_data->mask = (nFlags & ILC_MASK) != 0;
  if (nInitial > 0) m_data->images.reserve(static_cast<size_t>(nInitial));
  m_created = true;
  return TRUE;
}

int CImageList::Add(CBitmap* pbmImage, COLORREF crMask) {
  if (!m_created || !pbmImage || !pbmImage->Image() || pbmImage->Image()->isNull()) return -1;
  const QImage source = pbmImage->Image()->convertToFormat(QImage::Format_ARGB32);
  const int count = source.width() / m_data->cx > 0 ? source.width() / m_data->cx : 1;
  const int first = static_cast<int>(m_data->images.size());
  const QRgb maskColor = qRgb(GetRValue(crMask), GetGValue(crMask), GetBValue(crMask));
  for (int i = 0; i < count; ++i) {
    QImage image(m_data->cx, m_data->cy, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < m_data->cy && y < source.height(); ++y)
      for (int x = 0; x < m_data->cx && i * m_data->cx + x < source.width(); ++x) {
        const QRgb px = source.pixel(i * m_data->cx + x, y);
        const bool transparent = m_data->mask && crMask != CLR_NONE && (px | 0xFF000000u) == maskColor;
        image.setPixel(x, y, transparent ? qRgba(0, 0, 0, 0) : px);
      }
    m_data->images.push_back(std::move(image));
  }
  return first;
}

BOOL CImageList::DeleteImageList() {
  if (!m_created) return FALSE;
  m_data.reset();
  m_created = false;
  return TRUE;
}

int CImageList::GetImageCount() const {
  return m_created ? static_cast<int>(m_data->images.size()) : 0;
}

BOOL CImageList::GetImageInfo(int nImage, IMAGEINFO* pImageInfo) const {
  if (!Image(nImage) || !pImageInfo) return FALSE;
  pImageInfo->rcImage = RECT{0, 0, m_data->cx, m_data->cy};
  return TRUE;
}

BOOL CImageList::GetIconSize(int* cx, int* cy) const {
  if (!m_created) return FALSE;
  if (cx) *cx = m_data->cx;
  if (cy) *cy = m_data->cy;
  return TRUE;
}

const QImage* CImageList::Image(int nImage) const {
  if (!m_created || nImage < 0 || nImage >= static_cast<int>(m_data->images.size())) return nullptr;
  return &m_data->images[static_cast<size_t>(nImage)];
}

}  // namespace platform
