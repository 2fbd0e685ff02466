// Drawing objects of the windowing layer: brushes, icons, bitmaps, fonts, the
// 16 x 16 masked image list of row marks and a device context for painting
// and measuring. All texts are GBK.
#pragma once

#include <memory>
#include <string>

#include "platform/WinTypes.h"

class QFont;
class QImage;
class QPainter;
class QWidget;

namespace platform {

struct GdiBrush;
struct GdiIcon;
struct GdiBitmap;
using HBRUSH = GdiBrush*;
using HICON = GdiIcon*;
using HBITMAP = GdiBitmap*;

// A solid brush; valid until DeleteObject.
HBRUSH CreateSolidBrush(COLORREF color);
BOOL DeleteObject(HBRUSH brush);
BOOL DeleteObject(HBITMAP bitmap);
// The colour of a solid brush (CLR_NONE for a null brush).
COLORREF GetBrushColor(HBRUSH brush);

// Icon resource by number, e.g. 5049. Shared: loaded once, never destroyed.
// Null when the resource does not exist.
HICON LoadIcon(UINT nIDResource);

// State of a key as GetKeyState reports it: bit 15 set while held.
short GetKeyState(int nVirtKey);

struct BITMAP {
  LONG bmWidth = 0;
  LONG bmHeight = 0;
};

class CBitmap {
 public:
  CBitmap();
  ~CBitmap();
  CBitmap(const CBitmap&) = delete;
  CBitmap& operator=(const CBitmap&) = delete;

  // Bitmap resource by name ("LIST3") or number (5048). FALSE when the
  // resource does not exist or a bitmap is already attached; the object then
  // stays as it was (a missing picture is an empty bitmap, not an error).
  BOOL LoadBitmap(const std::string& resourceName);
  BOOL LoadBitmap(UINT nIDResource);
  BOOL Attach(HBITMAP bitmap);
  BOOL DeleteObject();
  operator HBITMAP() const { return m_hObject; }
  // Fills size and depth; FALSE for an empty bitmap.
  int GetBitmap(BITMAP* pBitMap) const;

  // Qt edge: the picture itself, null for an empty bitmap.
  const QImage* Image() const;
  QImage* Image();

  HBITMAP m_hObject = nullptr;
};

class CFont {
 public:
  CFont();
  ~CFont();
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;
  BOOL DeleteObject();
  bool IsEmpty() const { return !m_font; }
  // Qt edge.
  const QFont* Font() const { return m_font.get(); }
  void SetFont(const QFont& font);

 private:
  std::unique_ptr<QFont> m_font;
};

// A device context: either a painter on a window during its painting, a
// memory context holding a selected bitmap, or (outside painting) a context
// that can only measure text in its font.
class CDC {
 public:
  CDC();
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  BOOL CreateCompatibleDC(CDC* pDC);
  // Returns the previously selected bitmap (null when none). The returned
  // object is owned by whoever selected it before.
  CBitmap* SelectObject(CBitmap* pBitmap);
  CFont* SelectObject(CFont* pFont);

  BOOL StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth, int nSrcHeight,
                  DWORD dwRop);
  void FillSolidRect(const RECT* rect, COLORREF color);
  void FillRect(const RECT* rect, HBRUSH brush);
  // A one-pixel frame inside the rectangle.
  void FrameRect(const RECT* rect, HBRUSH brush);
  // Text extent in the selected font (the window's font for a window context).
  CSize GetTextExtent(const std::string& text) const;
  COLORREF SetTextColor(COLORREF color);

  // Qt edge.
  void AttachPainter(QPainter* painter, const QFont& font);

 protected:
  QPainter* m_painter = nullptr;
  std::unique_ptr<QPainter> m_ownPainter;
  std::unique_ptr<QFont> m_font;
  CBitmap* m_selectedBitmap = nullptr;
  CFont* m_selectedFont = nullptr;
  bool m_memory = false;
  COLORREF m_textColor = 0;
};

class CWnd;

// The client area of a window. While the window paints (inside OnPaint or
// OnEraseBkgnd) it draws on it; at any other time it only measures text.
class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* pWnd);
  ~CClientDC() override;
};

struct IMAGEINFO {
  RECT rcImage;
};

// Images of one size kept side by side. Add with a mask colour appends one
// image per image width of the bitmap (a 48 pixel wide bitmap adds three 16 x
// 16 images); pixels of the mask colour become transparent.
class CImageList {
 public:
  CImageList();
  ~CImageList();
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;

  BOOL Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow);
  // Index of the first image added, -1 on failure (no list, empty bitmap).
  int Add(CBitmap* pbmImage, COLORREF crMask);
  BOOL DeleteImageList();
  BOOL IsCreated() const { return m_created; }
  int GetImageCount() const;
  // rcImage is (0, 0, cx, cy) of the image; FALSE for an index out of range.
  BOOL GetImageInfo(int nImage, IMAGEINFO* pImageInfo) const;
  BOOL GetIconSize(int* cx, int* cy) const;

  // Qt edge: the image with transparency, null for an index out of range.
  const QImage* Image(int nImage) const;

 private:
  struct Data;
  std::unique_ptr<Data> m_data;
  bool m_created = false;
};

}  // namespace platform
