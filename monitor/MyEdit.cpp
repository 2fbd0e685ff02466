#include "monitor/MyEdit.h"

#include <algorithm>

using namespace platform;

CMyEdit::CMyEdit(int iItem, int iSubItem, const std::string& sInitText)
    : m_iItem(iItem), m_iSubItem(iSubItem), m_sInitText(sInitText) {}

CMyEdit::~CMyEdit() = default;

BOOL CMyEdit::PreTranslateMessage(MSG* pMsg) {
  // Enter, Delete, Escape and Control combinations belong to the editor: the
  // dialog around it must never act on them.
  if (pMsg->message == WM_KEYDOWN) {
    if (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_DELETE || pMsg->wParam == VK_ESCAPE ||
        GetKeyState(VK_CONTROL)) {
      TranslateMessage(pMsg);
      DispatchMessage(pMsg);
      return TRUE;
    }
  }
  return CEdit::PreTranslateMessage(pMsg);
}

int CMyEdit::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CEdit::OnCreate(lpCreateStruct) == -1) return -1;
  if (CWnd* list = GetParent()) SetFont(list->GetFont());
  SetWindowText(m_sInitText);
  SetFocus();
  SetSel(0, -1);
  return 0;
}

void CMyEdit::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) {
  if (nChar == VK_ESCAPE || nChar == VK_RETURN) {
    if (nChar == VK_ESCAPE) m_bESC = TRUE;
    // Giving the focus back ends the edit; this object is gone afterwards.
    if (CWnd* list = GetParent()) list->SetFocus();
    return;
  }
  WidenToText();
  CEdit::OnChar(nChar, nRepCnt, nFlags);
}

void CMyEdit::WidenToText() {
  CWnd* list = GetParent();
  if (!list) return;
  CClientDC dc(list);
  CFont* old = dc.SelectObject(list->GetFont());
  const CSize size = dc.GetTextExtent(GetWindowText());
  dc.SelectObject(old);
  const int width = size.cx + 5;
  CRect rect;
  GetWindowRect(&rect);
  list->ScreenToClient(&rect);
  if (width > rect.Width()) {
    CRect client;
    list->GetClientRect(&client);
    rect.right = std::min<int>(rect.left + width, client.right);
    MoveWindow(&rect);
  }
}

void CMyEdit::OnKillFocus(CWnd* pNewWnd) {
  CEdit::OnKillFocus(pNewWnd);
  EndEdit();
}

void CMyEdit::EndEdit() {
  CWnd* list = GetParent();
  std::string text = GetWindowText();
  if (list) {
    NMLVDISPINFO info;
    info.hdr.hwndFrom = list->GetSafeHwnd();
    info.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
    info.hdr.code = LVN_ENDLABELEDIT;
    info.item.mask = LVIF_TEXT;
    info.item.iItem = m_iItem;
    info.item.iSubItem = m_iSubItem;
    info.item.pszText = m_bESC ? nullptr : text.data();
    info.item.cchTextMax = static_cast<int>(text.size());
    // The list's parent reflects the notification to the list; a list
    // without a parent window gets it directly.
    CWnd* target = list->GetParent() ? list->GetParent() : list;
    target->SendMessage(WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
  }
  DestroyWindow();
}

void CMyEdit::OnPaint() {
  CEdit::OnPaint();
  CClientDC dc(this);
  CRect rect;
  GetClientRect(&rect);
  static HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
  dc.FrameRect(&rect, black);
}

void CMyEdit::PostNcDestroy() {
  delete this;
}
