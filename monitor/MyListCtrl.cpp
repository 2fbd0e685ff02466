#include "monitor/MyListCtrl.h"

#include <memory>

#include "monitor/MyEdit.h"

using namespace platform;

CMyListCtrl::CMyListCtrl(int nRow, int nCol) : m_nCol(nCol), m_nRow(nRow) {}

CMyListCtrl::~CMyListCtrl() {
  // Destroy the window while this class's handlers still exist.
  if (GetSafeHwnd()) DestroyWindow();
  m_bmpBack.DeleteObject();
}

BOOL CMyListCtrl::OnEraseBkgnd(CDC* pDC) {
  BITMAP bm;
  // No picture: the list's plain background.
  if (!m_bmpBack.GetBitmap(&bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return CListCtrl::OnEraseBkgnd(pDC);
  CDC memory;
  memory.CreateCompatibleDC(pDC);
  CBitmap* old = memory.SelectObject(&m_bmpBack);
  CRect client;
  GetClientRect(&client);
  pDC->StretchBlt(0, 0, client.Width(), client.Height(), &memory, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
  memory.SelectObject(old);
  return TRUE;
}

int CMyListCtrl::HitTestEx(CPoint point, int* pCol) const {
  if (pCol) *pCol = 0;
  if ((GetStyle() & LVS_TYPEMASK) != LVS_REPORT) return HitTest(point, nullptr);
  const int count = GetItemCount();
  const int top = GetTopIndex();
  int bottom = top + GetCountPerPage();
  if (bottom > count - 1) bottom = count - 1;
  const int columns = GetColumnCount();
  for (int row = top; row <= bottom; ++row) {
    CRect rect;
    if (!GetItemRect(row, &rect, LVIR_BOUNDS) || !rect.PtInRect(point)) continue;
    int left = rect.left;
    for (int column = 0; column < columns; ++column) {
      const int width = GetColumnWidth(column);
      // Both edges belong to the column, so a border point goes to the left one.
      if (point.x >= left && point.x <= left + width) {
        if (pCol) *pCol = column;
        return row;
      }
      left += width;
    }
  }
  return -1;
}

CMyEdit* CMyListCtrl::EditSubLabel(int nItem, int nCol) {
  if (!EnsureVisible(nItem, TRUE)) return nullptr;
  if (nCol < 0 || nCol >= GetColumnCount() || GetColumnWidth(nCol) < 5) return nullptr;
  int offset = 0;
  for (int i = 0; i < nCol; ++i) offset += GetColumnWidth(i);
  CRect rect;
  GetItemRect(nItem, &rect, LVIR_BOUNDS);
  CRect client;
  GetClientRect(&client);
  if (offset + rect.left < 0 || offset + rect.left > client.right) {
    Scroll(CSize(offset + rect.left, 0));
    // Where the cell really is now: the scroll may stop short at either end.
    GetItemRect(nItem, &rect, LVIR_BOUNDS);
  }
  int format = LVCFMT_LEFT;
  GetColumn(nCol, &format, nullptr, nullptr);
  DWORD align = ES_LEFT;
  if ((format & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT)
    align = ES_RIGHT;
  else if ((format & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER)
    align = ES_CENTER;
  rect.left += offset + 1;
  rect.right = rect.left + GetColumnWidth(nCol) - 1;
  auto owned = std::make_unique<CMyEdit>(nItem, nCol, GetItemText(nItem, nCol));
  // A window that never existed does not delete itself: the owner does.
  if (!owned->Create(WS_BORDER | WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | WS_CLIPSIBLINGS | align, rect, this, 0))
    return nullptr;
  // From here the editor's window owns it (CMyEdit::PostNcDestroy).
  CMyEdit* edit = owned.release();
  if (rect.right > client.right) {
    rect.right = client.right;
    edit->MoveWindow(&rect);
  }
  return edit;
}

void CMyListCtrl::OnLButtonDown(UINT nFlags, CPoint point) {
  // The row that had the focus before this click: a first click on a row
  // selects it, a click on the row already focused edits its cell.
  const int focusedBefore = GetNextItem(-1, LVNI_FOCUSED);
  CListCtrl::OnLButtonDown(nFlags, point);
  if (!GetSafeHwnd()) return;
  int column = 0;
  const int row = HitTestEx(point, &column);
  if (row == -1) return;
  if (row == focusedBefore && column >= 1) {
    if (m_bEditMode == 1)
      EditSubLabel(row, column);
    else
      SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
}

void CMyListCtrl::TakeFocus() {
  // Taking the focus also ends an open cell editor, which commits.
  if (GetFocus() != this) SetFocus();
}

void CMyListCtrl::OnSize(UINT nType, int cx, int cy) {
  TakeFocus();
  CListCtrl::OnSize(nType, cx, cy);
}

void CMyListCtrl::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar) {
  TakeFocus();
  RedrawWindow(nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOERASE);
  CListCtrl::OnHScroll(nSBCode, nPos, pScrollBar);
}

void CMyListCtrl::OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar) {
  TakeFocus();
  RedrawWindow(nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOERASE);
  CListCtrl::OnVScroll(nSBCode, nPos, pScrollBar);
}

BOOL CMyListCtrl::OnMouseWheel(UINT nFlags, short zDelta, CPoint pt) {
  // The wheel scrolls too: an editor must not stay over a row that moved.
  TakeFocus();
  return CListCtrl::OnMouseWheel(nFlags, zDelta, pt);
}

LRESULT CMyListCtrl::OnHotKey(WPARAM, LPARAM) {
  m_bEditMode = m_bEditMode ? 0 : 1;
  return 1;
}

BOOL CMyListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_NOTIFY && lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == LVN_ENDLABELEDIT) {
      const auto* info = reinterpret_cast<const NMLVDISPINFO*>(lParam);
      if (info->item.pszText) SetItemText(info->item.iItem, info->item.iSubItem, info->item.pszText);
      if (pResult) *pResult = 0;
      return TRUE;
    }
  }
  return CListCtrl::OnChildNotify(message, wParam, lParam, pResult);
}
