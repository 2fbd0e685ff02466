// CWnd's message map: the switch that hands each message to its On* handler,
// the handlers' default behaviour and the default window procedure. Dispatch
// itself (SendMessage, Default) is in Wnd.cpp.
#include "platform/Wnd.h"

#include "platform/WinBool.h"

#include <cstdint>

namespace platform {

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const CPoint point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  switch (message) {
    case WM_CREATE:
      return OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_NCDESTROY:
      OnNcDestroy();
      return 0;
    case WM_ERASEBKGND:
      return OnEraseBkgnd(reinterpret_cast<CDC*>(wParam));
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam)));
      return 0;
    case WM_WINDOWPOSCHANGING:
      OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
      return 0;
    case WM_WINDOWPOSCHANGED:
      OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam));
      return 0;
    case WM_HSCROLL:
      OnHScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<CScrollBar*>(lParam));
      return 0;
    case WM_VSCROLL:
      OnVScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<CScrollBar*>(lParam));
      return 0;
    case WM_MOUSEWHEEL:
      return OnMouseWheel(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), point);
    case WM_LBUTTONDOWN:
      OnLButtonDown(static_cast<UINT>(wParam), point);
      return 0;
    case WM_LBUTTONUP:
      OnLButtonUp(static_cast<UINT>(wParam), point);
      return 0;
    case WM_LBUTTONDBLCLK:
      OnLButtonDblClk(static_cast<UINT>(wParam), point);
      return 0;
    case WM_KEYDOWN:
      OnKeyDown(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)),
                HIWORD(static_cast<uintptr_t>(lParam)));
      return 0;
    case WM_KEYUP:
      OnKeyUp(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)),
              HIWORD(static_cast<uintptr_t>(lParam)));
      return 0;
    case WM_CHAR:
      OnChar(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam)));
      return 0;
    case WM_SETFOCUS:
      OnSetFocus(FromHandle(reinterpret_cast<HWND>(wParam)));
      return 0;
    case WM_KILLFOCUS:
      OnKillFocus(FromHandle(reinterpret_cast<HWND>(wParam)));
      return 0;
    case WM_CTLCOLORDLG:
      return reinterpret_cast<LRESULT>(
          OnCtlColor(reinterpret_cast<CDC*>(wParam), FromHandle(reinterpret_cast<HWND>(lParam)), CTLCOLOR_DLG));
    case WM_HOTKEY:
      return OnHotKey(wParam, lParam);
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
      return result;
    }
    default:
      return DefWindowProc(message, wParam, lParam);
  }
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETICON:
      return reinterpret_cast<LRESULT>(SetIcon(reinterpret_cast<HICON>(lParam), wParam == ICON_BIG));
    case WM_SETTEXT:
      if (lParam) SetWindowText(reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_CLOSE:
      DestroyWindow();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETREDRAW:
      SetRedraw(wParam != 0 ? TRUE : FALSE);
      return 0;
    default:
      return 0;
  }
}

int CWnd::OnCreate(LPCREATESTRUCT) {
  return static_cast<int>(Default());
}
void CWnd::OnDestroy() {
  Default();
}
void CWnd::OnNcDestroy() {
  Default();
}
void CWnd::PostNcDestroy() {}
BOOL CWnd::OnEraseBkgnd(CDC*) {
  return static_cast<BOOL>(Default());
}
void CWnd::OnPaint() {
  Default();
}
void CWnd::OnSize(UINT, int, int) {
  Default();
}
void CWnd::OnWindowPosChanging(WINDOWPOS*) {
  Default();
}
void CWnd::OnWindowPosChanged(WINDOWPOS*) {
  Default();
}
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) {
  Default();
}
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) {
  Default();
}
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) {
  return static_cast<BOOL>(Default());
}
void CWnd::OnLButtonDown(UINT, CPoint) {
  Default();
}
void CWnd::OnLButtonUp(UINT, CPoint) {
  Default();
}
void CWnd::OnLButtonDblClk(UINT, CPoint) {
  Default();
}
void CWnd::OnKeyDown(UINT, UINT, UINT) {
  Default();
}
void CWnd::OnKeyUp(UINT, UINT, UINT) {
  Default();
}
void CWnd::OnChar(UINT, UINT, UINT) {
  Default();
}
void CWnd::OnSetFocus(CWnd*) {
  Default();
}
void CWnd::OnKillFocus(CWnd*) {
  Default();
}
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) {
  return reinterpret_cast<HBRUSH>(Default());
}
LRESULT CWnd::OnHotKey(WPARAM, LPARAM) {
  return Default();
}
void CWnd::OnClose() {
  Default();
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (!header) return FALSE;
  // Reflect the notification to the window that sent it.
  CWnd* sender = FromHandle(header->hwndFrom);
  if (sender && sender->OnChildNotify(WM_NOTIFY, wParam, lParam, pResult)) return TRUE;
  return FALSE;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) {
  return FALSE;
}

}  // namespace platform
