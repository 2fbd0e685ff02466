// Report-view list control of the windowing layer: columns with format,
// width and header text, rows of GBK texts with an image, item data and the
// selected / focused states. The background is painted by OnEraseBkgnd (a
// subclass may stretch a picture there); rows are drawn over it, with grid
// lines and full-row selection when those extended styles are set.
//
// Coordinates are the list's client coordinates: (0, 0) is the top left of
// the header; rows start below it. Rows or columns that do not exist give
// FALSE, -1 or an empty text and change nothing.
#pragma once

#include <memory>
#include <string>

#include "platform/WinBool.h"
#include "platform/Wnd.h"

namespace platform {

class CListCtrl : public CWnd {
 public:
  CListCtrl();
  ~CListCtrl() override;

  // Styles: WS_CHILD, WS_VISIBLE, LVS_REPORT, LVS_SHAREIMAGELISTS, ...
  virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

  DWORD SetExtendedStyle(DWORD dwNewStyle);  // returns the previous styles
  DWORD GetExtendedStyle() const;
  // CLR_NONE: no text background, rows are drawn over the list background.
  BOOL SetTextBkColor(COLORREF cr);
  COLORREF GetTextBkColor() const;
  BOOL SetTextColor(COLORREF cr);
  // The list never owns the image list. Returns the previous one.
  CImageList* SetImageList(CImageList* pImageList, int nImageListType);
  CImageList* GetImageList(int nImageListType) const;

  // Columns. nWidth -1: as wide as the header text. Returns the new column's
  // index, -1 on failure.
  int InsertColumn(int nCol, const std::string& lpszColumnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                   int nSubItem = -1);
  BOOL DeleteColumn(int nCol);
  BOOL GetColumn(int nCol, int* pFormat, int* pWidth, std::string* pText) const;
  BOOL SetColumnText(int nCol, const std::string& text);
  // Number of header items.
  int GetColumnCount() const;
  // cx >= 0, or LVSCW_AUTOSIZE (widest text of the column) or
  // LVSCW_AUTOSIZE_USEHEADER (also at least the header text; the last column
  // then fills what is left of the client width).
  BOOL SetColumnWidth(int nCol, int cx);
  int GetColumnWidth(int nCol) const;  // 0 for a column that does not exist
  // The width SetColumnWidth(nCol, cx) sets for LVSCW_AUTOSIZE or
  // LVSCW_AUTOSIZE_USEHEADER, without changing the column; -1 when none.
  int GetAutoSizeWidth(int nCol, int cx) const;

  // Rows.
  int GetItemCount() const;
  // Returns the new row's index (clamped to 0..count), -1 on failure.
  int InsertItem(int nItem, const std::string& lpszItem, int nImage = -1);
  int InsertItem(const LVITEM* pItem);
  // nMask from LVIF_TEXT, LVIF_IMAGE, LVIF_STATE, LVIF_PARAM, LVIF_INDENT;
  // image, state, param and indent belong to the row (sub-item 0).
  BOOL SetItem(int nItem, int nSubItem, UINT nMask, const std::string& lpszItem, int nImage, UINT nState,
               UINT nStateMask, LPARAM lParam, int nIndent = 0);
  BOOL SetItem(const LVITEM* pItem);
  BOOL SetItemText(int nItem, int nSubItem, const std::string& lpszText);
  std::string GetItemText(int nItem, int nSubItem) const;
  DWORD_PTR GetItemData(int nItem) const;  // 0 for a row that does not exist
  BOOL SetItemData(int nItem, DWORD_PTR dwData);
  int GetItemImage(int nItem) const;  // -1 for no image or no such row
  int GetItemIndent(int nItem) const;
  BOOL SetItemState(int nItem, UINT nState, UINT nMask);
  UINT GetItemState(int nItem, UINT nMask) const;
  // Next row after nItem (-1: from the start) with the flags' states.
  int GetNextItem(int nItem, int nFlags) const;
  UINT GetSelectedCount() const;
  BOOL DeleteItem(int nItem);
  BOOL DeleteAllItems();

  // Scrolling and geometry.
  BOOL EnsureVisible(int nItem, BOOL bPartialOK);
  int GetTopIndex() const;
  // Rows that fit whole in the client area below the header.
  int GetCountPerPage() const;
  // Row height in pixels (also without rows).
  int GetRowHeight() const;
  // LVIR_BOUNDS: the whole row, from the left edge of column 0 (moved left
  // by the horizontal scroll) over every column. LVIR_ICON / LVIR_LABEL:
  // the mark and the text part of column 0.
  BOOL GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const;
  // cx: pixels to the right; cy: pixels down, in whole rows.
  BOOL Scroll(CSize size);
  int GetScrollPos(int nBar) const;  // 0 horizontal (pixels), 1 vertical (rows)
  // Width of the text in the list's font.
  int GetStringWidth(const std::string& lpsz) const;
  // Row under the point (client coordinates), -1 when none.
  int HitTest(CPoint pt, UINT* pFlags = nullptr) const;

 protected:
  BOOL OnEraseBkgnd(CDC* pDC) override;
  RECT ClientArea() const override;

 public:
  struct Impl;

 private:
  struct ViewAndModel;
  ViewAndModel Live() const;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
