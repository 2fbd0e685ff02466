// The window base of the windowing layer, over Qt 6 Widgets.
//
// A CWnd owns one Qt widget. Qt events become the messages of this layer and
// reach the virtual handlers below (OnSize, OnLButtonDown, OnChar, ...); a
// handler that wants the platform's default behaviour calls the base class
// handler (or Default()). SendMessage runs WindowProc synchronously.
//
// Keyboard: before a key press reaches its window, PreTranslateMessage is
// called with WM_KEYDOWN and then (for keys that make a character) WM_CHAR,
// first on the window that has the focus and then on each parent up to the
// top-level window; a handler returning TRUE consumes the message.
//
// No X server is needed: the first window created makes a QApplication when
// the host has none, and picks the offscreen platform when no display exists.
#pragma once

#include <string>

#include "platform/Export.h"
#include "platform/Gdi.h"
#include "platform/WinTypes.h"

class QWidget;

namespace platform {

class CScrollBar;
struct CREATESTRUCT {
  DWORD style = 0;
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  UINT id = 0;
};
using LPCREATESTRUCT = CREATESTRUCT*;

// Exported (like CDialog) so that a host's checks and casts of CMonitorDialog
// find the base classes' type information; of the members, only the window
// calls a host makes leave the library (cmake/exports.map).
class MONITOR_API CWnd {
 public:
  CWnd();
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // Handle of the window; null before creation and after destruction.
  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  static CWnd* FromHandle(HWND hWnd);

  // Destroys the window (children first): OnDestroy, then OnNcDestroy and
  // PostNcDestroy. The C++ object stays unless PostNcDestroy deletes it.
  virtual BOOL DestroyWindow();

  CWnd* GetParent() const;
  int GetDlgCtrlID() const { return static_cast<int>(m_nID); }
  DWORD GetStyle() const { return m_dwStyle; }

  // Positions are in the parent's client coordinates (screen for top-level).
  // A top-level window's rectangle, here and in GetWindowRect, is its client
  // area: the window manager's frame lies outside it.
  void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = 1);
  void MoveWindow(LPCRECT lpRect, BOOL bRepaint = 1);
  // pWndInsertAfter: &wndTop (or null with SWP_NOZORDER).
  BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
  static const CWnd wndTop;
  // Client rectangle, left and top 0.
  void GetClientRect(LPRECT lpRect) const;
  // Window rectangle in screen coordinates (a top-level window's client area).
  void GetWindowRect(LPRECT lpRect) const;
  void ScreenToClient(LPPOINT lpPoint) const;
  void ScreenToClient(LPRECT lpRect) const;

  void SetWindowText(const std::string& text);
  std::string GetWindowText() const;
  void GetWindowText(std::string& text) const { text = GetWindowText(); }

  BOOL ShowWindow(int nCmdShow);
  BOOL IsWindowVisible() const;
  void Invalidate(BOOL bErase = 1);
  void InvalidateRect(LPCRECT lpRect, BOOL bErase = 1);
  // Paints what is invalid now (in this window's top-level window), and
  // nothing else.
  void UpdateWindow();
  BOOL RedrawWindow(LPCRECT lpRect = nullptr, UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  // Switches painting off and on; switching it on does not repaint by itself.
  void SetRedraw(BOOL bRedraw = 1);

  // Returns the window that had the focus (null when none of this layer).
  CWnd* SetFocus();
  static CWnd* GetFocus();

  HICON SetIcon(HICON hIcon, BOOL bBigIcon);
  HICON GetIcon(BOOL bBigIcon) const;
  void SetFont(CFont* pFont, BOOL bRedraw = 1);
  // The window's font (the parent's font for a child without its own).
  CFont* GetFont() const;

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // Queued: handled by the event loop later (dropped if the window goes).
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  virtual BOOL PreTranslateMessage(MSG* pMsg);
  // Dispatches a message to its handler; unhandled messages go to DefWindowProc.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

  // Qt edge: the widget of the window, null when there is none.
  QWidget* GetQWidget() const { return m_widget; }

 protected:
  // Creates the window over the given widget (which this object then owns):
  // sets geometry and parent, runs OnCreate, shows it when WS_VISIBLE is set.
  // FALSE (and no window) when OnCreate returns -1.
  BOOL CreateOver(QWidget* widget, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The platform's default handling of the message being handled.
  LRESULT Default();

  virtual int OnCreate(LPCREATESTRUCT lpCreateStruct);
  virtual void OnDestroy();
  virtual void OnNcDestroy();
  // Called last, after the window is gone; a self-owning window deletes itself here.
  virtual void PostNcDestroy();
  virtual BOOL OnEraseBkgnd(CDC* pDC);
  virtual void OnPaint();
  virtual void OnSize(UINT nType, int cx, int cy);
  virtual void OnWindowPosChanging(WINDOWPOS* lpwndpos);
  virtual void OnWindowPosChanged(WINDOWPOS* lpwndpos);
  virtual void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
  virtual void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
  virtual BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
  virtual void OnLButtonDown(UINT nFlags, CPoint point);
  virtual void OnLButtonUp(UINT nFlags, CPoint point);
  virtual void OnLButtonDblClk(UINT nFlags, CPoint point);
  virtual void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  virtual void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
  virtual void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
  virtual void OnSetFocus(CWnd* pOldWnd);
  virtual void OnKillFocus(CWnd* pNewWnd);
  virtual HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
  virtual LRESULT OnHotKey(WPARAM wParam, LPARAM lParam);
  virtual void OnClose();
  // A WM_NOTIFY from a child: the default reflects it to the sending child
  // (OnChildNotify) and returns TRUE when the child handled it.
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // A notification this window sent to its parent, reflected back.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // Client area in widget coordinates (a scrolled list includes its header).
  virtual RECT ClientArea() const;

 public:
  // Internal: called by the layer's widgets.
  struct Bridge;

 protected:
  QWidget* m_widget = nullptr;
  DWORD m_dwStyle = 0;
  UINT m_nID = 0;
  CFont m_font;
  HICON m_hIconBig = nullptr;
  HICON m_hIconSmall = nullptr;
  bool m_destroying = false;

 private:
  friend struct Bridge;
  void FinishDestroy();
};

BOOL IsWindow(HWND hWnd);
// Key messages of this layer: a pre-translation hook that consumes a key-down
// may hand it on with TranslateMessage (its character follows the key-down
// straight to the window, past every other pre-translation) and
// DispatchMessage (the key-down to the window's handlers).
BOOL TranslateMessage(const MSG* pMsg);
LRESULT DispatchMessage(const MSG* pMsg);

// A key combination that, pressed in any window of the application, sends
// WM_HOTKEY (wParam = id, lParam = MAKELPARAM(modifiers, vk)) to hWnd instead
// of reaching the focused window. FALSE when the combination is taken or the
// window does not exist. The registration ends with the window.
constexpr UINT MOD_ALT = 0x0001;
constexpr UINT MOD_CONTROL = 0x0002;
constexpr UINT MOD_SHIFT = 0x0004;
BOOL RegisterHotKey(HWND hWnd, int id, UINT fsModifiers, UINT vk);
BOOL UnregisterHotKey(HWND hWnd, int id);

}  // namespace platform
