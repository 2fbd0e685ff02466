// The window registry and CWnd: creation, destruction, geometry, painting
// requests and message dispatch. Qt events become messages in WndEvents.cpp,
// messages reach their handlers in WndMessages.cpp, the keyboard and hot keys
// are in WndKeyboard.cpp.
#include "platform/Wnd.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "platform/Application.h"
#include "platform/GdiObjects_p.h"
#include "platform/TextCodec.h"
#include "platform/WndBridge_p.h"

namespace platform {

// ---- conversions ----

QString ToQt(const std::string& gbk) {
  return QString::fromStdString(GbkToUtf8(gbk));
}
std::string FromQt(const QString& text) {
  return Utf8ToGbk(text.toStdString());
}
QColor ToQColor(COLORREF c) {
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}
RECT ToRECT(const QRect& r) {
  return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
QRect ToQRect(const RECT& r) {
  return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// ---- window registry ----

int g_bridgedEventDepth = 0;

namespace {

std::unordered_map<HWND, CWnd*>& Registry() {
  static std::unordered_map<HWND, CWnd*> windows;
  return windows;
}

// The message each window is handling, innermost last.
struct Handling {
  CWnd* wnd;
  UINT msg;
  WPARAM wp;
  LPARAM lp;
  std::function<LRESULT()> def;
  bool used;
};
std::vector<Handling*>& Stack() {
  static std::vector<Handling*> stack;
  return stack;
}

// Widgets of destroyed windows not freed yet (null once an event loop did).
std::vector<QPointer<QWidget>>& DestroyedWidgets() {
  static std::vector<QPointer<QWidget>> widgets;
  return widgets;
}

}  // namespace

void FreeDestroyedWidgets() {
  auto& widgets = DestroyedWidgets();
  if (widgets.empty() || g_bridgedEventDepth > 0 || !Stack().empty()) return;
  std::vector<QPointer<QWidget>> gone;
  gone.swap(widgets);
  for (QPointer<QWidget>& w : gone) delete w.data();
}

void TakeBackShowRepaints(QWidget* shown) {
  if (!shown) return;
  QCoreApplication::removePostedEvents(shown, QEvent::UpdateLater);
  for (QWidget* child : shown->findChildren<QWidget*>())
    QCoreApplication::removePostedEvents(child, QEvent::UpdateLater);
  if (shown->isVisible()) shown->update();
}

BridgeAccess* BridgeOf(QWidget* w) {
  return w ? dynamic_cast<BridgeAccess*>(w) : nullptr;
}

CWnd* OwnerOf(QWidget* w) {
  for (; w; w = w->parentWidget()) {
    if (BridgeAccess* b = BridgeOf(w); b && b->owner) return b->owner;
    if (w->isWindow()) break;
  }
  return nullptr;
}

// The offscreen and minimal platforms have no window stacking.
static bool Headless() {
  const QString name = QGuiApplication::platformName();
  return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

BOOL IsWindow(HWND hWnd) {
  return hWnd && Registry().count(hWnd) != 0;
}

// ---- bridge ----

LRESULT CWnd::Bridge::Dispatch(CWnd* w, UINT msg, WPARAM wp, LPARAM lp, std::function<LRESULT()> def) {
  Handling current{w, msg, wp, lp, std::move(def), false};
  Stack().push_back(&current);
  LRESULT result = w->WindowProc(msg, wp, lp);
  Stack().pop_back();
  // A default that nobody asked for is not run: the handler replaced it.
  return result;
}

bool CWnd::Bridge::Alive(CWnd* w) {
  for (const auto& entry : Registry())
    if (entry.second == w) return true;
  return false;
}

void CWnd::Bridge::WidgetGone(CWnd* w) {
  // The widget went with its parent: the window is destroyed without it.
  if (w->m_widget) {
    if (BridgeAccess* b = BridgeOf(w->m_widget)) b->owner = nullptr;
    w->m_widget = nullptr;
  }
  if (!w->m_destroying) {
    w->m_destroying = true;
    Dispatch(w, WM_DESTROY, 0, 0, nullptr);
    w->FinishDestroy();
  }
}

// ---- CWnd ----

const CWnd CWnd::wndTop;

CWnd::CWnd() = default;

CWnd::~CWnd() {
  if (m_widget) {
    // Still a window: destroy it now; handlers of derived classes are gone,
    // so only the base handling runs.
    m_destroying = true;
    QWidget* widget = m_widget;
    if (BridgeAccess* b = BridgeOf(widget)) b->owner = nullptr;
    Registry().erase(m_hWnd);
    m_widget = nullptr;
    m_hWnd = nullptr;
    delete widget;
  } else if (m_hWnd) {
    Registry().erase(m_hWnd);
  }
}

CWnd* CWnd::FromHandle(HWND hWnd) {
  auto it = Registry().find(hWnd);
  return it == Registry().end() ? nullptr : it->second;
}

BOOL CWnd::CreateOver(QWidget* widget, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  EnsureApplication();
  FreeDestroyedWidgets();
  if (m_widget || !widget) {
    delete widget;
    return FALSE;
  }
  m_widget = widget;
  m_hWnd = widget;
  m_dwStyle = dwStyle;
  m_nID = nID;
  m_destroying = false;
  Registry()[m_hWnd] = this;
  if (BridgeAccess* b = BridgeOf(widget)) b->owner = this;
  if (pParentWnd && pParentWnd->m_widget && (dwStyle & WS_CHILD)) widget->setParent(pParentWnd->m_widget);
  widget->setGeometry(ToQRect(rect));
  m_font.SetFont(widget->font());
  CREATESTRUCT cs;
  cs.style = dwStyle;
  cs.x = rect.left;
  cs.y = rect.top;
  cs.cx = rect.right - rect.left;
  cs.cy = rect.bottom - rect.top;
  cs.id = nID;
  const LRESULT created =
      Bridge::Dispatch(this, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs), []() -> LRESULT { return 0; });
  if (created == -1) {
    DestroyWindow();
    return FALSE;
  }
  if (m_widget && (dwStyle & WS_VISIBLE)) {
    m_widget->show();
    if (!m_widget->isWindow() || !Headless()) m_widget->raise();
  }
  return m_widget != nullptr;
}

BOOL CWnd::DestroyWindow() {
  FreeDestroyedWidgets();
  if (!m_widget || m_destroying) return FALSE;
  m_destroying = true;
  Bridge::Dispatch(this, WM_DESTROY, 0, 0, nullptr);
  // Children go first.
  if (m_widget) {
    std::vector<HWND> children;
    for (QObject* child : m_widget->findChildren<QObject*>()) {
      if (BridgeAccess* b = dynamic_cast<BridgeAccess*>(child); b && b->owner && b->owner != this)
        children.push_back(b->owner->GetSafeHwnd());
    }
    for (HWND h : children)
      if (CWnd* child = FromHandle(h)) child->DestroyWindow();
  }
  QWidget* widget = m_widget;
  if (widget) {
    if (BridgeAccess* b = BridgeOf(widget)) b->owner = nullptr;
    m_widget = nullptr;
    widget->hide();
    // The widget may be in the middle of one of its own event handlers: an
    // event loop frees it later, or the next window operation outside every
    // handler does.
    widget->deleteLater();
    std::erase_if(DestroyedWidgets(), [](const QPointer<QWidget>& w) { return w.isNull(); });
    DestroyedWidgets().emplace_back(widget);
  }
  FinishDestroy();
  return TRUE;
}

void CWnd::FinishDestroy() {
  Registry().erase(m_hWnd);
  UnregisterHotKeys(m_hWnd);
  m_hWnd = nullptr;
  // WM_NCDESTROY arrives once the window is gone; PostNcDestroy comes last
  // and may delete this object.
  Handling current{this, WM_NCDESTROY, 0, 0, nullptr, false};
  Stack().push_back(&current);
  OnNcDestroy();
  Stack().pop_back();
  m_destroying = false;
  PostNcDestroy();
}

CWnd* CWnd::GetParent() const {
  if (!m_widget) return nullptr;
  return OwnerOf(m_widget->parentWidget());
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
  SetWindowPos(nullptr, x, y, nWidth, nHeight, SWP_NOZORDER | (bRepaint ? 0 : SWP_NOREDRAW));
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint) {
  if (lpRect)
    MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, bRepaint);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
  if (!m_widget) return FALSE;
  WINDOWPOS pos;
  pos.hwnd = m_hWnd;
  pos.hwndInsertAfter = pWndInsertAfter ? pWndInsertAfter->m_hWnd : nullptr;
  pos.x = x;
  pos.y = y;
  pos.cx = cx < 0 ? 0 : cx;
  pos.cy = cy < 0 ? 0 : cy;
  pos.flags = nFlags;
  Bridge::Dispatch(this, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos), []() -> LRESULT { return 0; });
  if (!m_widget) return FALSE;
  if (m_widget->isWindow()) {
    // A window's rectangle is its client area, as GetWindowRect reports it.
    QRect r = m_widget->geometry();
    if (!(pos.flags & SWP_NOMOVE)) r.moveTopLeft(QPoint(pos.x, pos.y));
    if (!(pos.flags & SWP_NOSIZE)) r.setSize(QSize(pos.cx, pos.cy));
    if (!(pos.flags & SWP_NOMOVE))
      m_widget->setGeometry(r);
    else if (!(pos.flags & SWP_NOSIZE))
      m_widget->resize(r.size());  // the window system keeps placing it
  } else {
    if (!(pos.flags & SWP_NOMOVE)) m_widget->move(pos.x, pos.y);
    if (!(pos.flags & SWP_NOSIZE)) m_widget->resize(pos.cx, pos.cy);
  }
  if (!(pos.flags & SWP_NOZORDER) && pWndInsertAfter == &wndTop && (!m_widget->isWindow() || !Headless()))
    m_widget->raise();
  if (pos.flags & SWP_SHOWWINDOW) ShowWindow(SW_SHOW);
  if (pos.flags & SWP_HIDEWINDOW) ShowWindow(SW_HIDE);
  if (!m_widget) return FALSE;
  if (!(pos.flags & SWP_NOREDRAW)) Invalidate(TRUE);
  Bridge::Dispatch(this, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos), []() -> LRESULT { return 0; });
  return TRUE;
}

RECT CWnd::ClientArea() const {
  if (!m_widget) return RECT{};
  return RECT{0, 0, m_widget->width(), m_widget->height()};
}

void CWnd::GetClientRect(LPRECT lpRect) const {
  if (!lpRect) return;
  const RECT r = ClientArea();
  *lpRect = RECT{0, 0, r.right - r.left, r.bottom - r.top};
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
  if (!lpRect) return;
  if (!m_widget) {
    *lpRect = RECT{};
    return;
  }
  if (m_widget->isWindow()) {
    // The client area in screen coordinates. The frame a window manager puts
    // around it is left out: its size is the manager's choice and known only
    // later, and MoveWindow and SetWindowPos set this same rectangle, so
    // moving a window onto its own rectangle changes nothing.
    *lpRect = ToRECT(m_widget->geometry());
    return;
  }
  const QPoint topLeft = m_widget->mapToGlobal(QPoint(0, 0));
  *lpRect = RECT{topLeft.x(), topLeft.y(), topLeft.x() + m_widget->width(), topLeft.y() + m_widget->height()};
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const {
  if (!lpPoint || !m_widget) return;
  const QPoint p = m_widget->mapFromGlobal(QPoint(lpPoint->x, lpPoint->y));
  lpPoint->x = p.x();
  lpPoint->y = p.y();
}

void CWnd::ScreenToClient(LPRECT lpRect) const {
  if (!lpRect) return;
  POINT a{lpRect->left, lpRect->top}, b{lpRect->right, lpRect->bottom};
  ScreenToClient(&a);
  ScreenToClient(&b);
  *lpRect = RECT{a.x, a.y, b.x, b.y};
}

void CWnd::SetWindowText(const std::string& text) {
  if (!m_widget) return;
  if (auto* edit = qobject_cast<QLineEdit*>(m_widget))
    edit->setText(ToQt(text));
  else
    m_widget->setWindowTitle(ToQt(text));
}

std::string CWnd::GetWindowText() const {
  if (!m_widget) return std::string();
  if (auto* edit = qobject_cast<QLineEdit*>(m_widget)) return FromQt(edit->text());
  return FromQt(m_widget->windowTitle());
}

BOOL CWnd::ShowWindow(int nCmdShow) {
  FreeDestroyedWidgets();
  if (!m_widget) return FALSE;
  const BOOL wasVisible = m_widget->isVisible() ? TRUE : FALSE;
  if (nCmdShow == SW_HIDE) {
    // Hiding the window that holds the keyboard focus hands the focus to its
    // parent, not to the next window in the tab order.
    QWidget* focus = QApplication::focusWidget();
    QWidget* parent = m_widget->parentWidget();
    if (focus && parent && (focus == m_widget || m_widget->isAncestorOf(focus))) parent->setFocus();
    m_widget->hide();
  } else {
    m_widget->show();
    TakeBackShowRepaints(m_widget);
    if (m_widget->isWindow() && nCmdShow != SW_SHOWNA) {
      // Showing activates a top-level window at once, as on the platform.
      if (!Headless()) m_widget->raise();
      m_widget->activateWindow();
      QApplication::setActiveWindow(m_widget);
    }
  }
  return wasVisible;
}

BOOL CWnd::IsWindowVisible() const {
  return m_widget && m_widget->isVisible() ? TRUE : FALSE;
}

void CWnd::Invalidate(BOOL bErase) {
  InvalidateRect(nullptr, bErase);
}

void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase) {
  if (!m_widget) return;
  BridgeAccess* access = BridgeOf(m_widget);
  // What the background erase paints may have changed.
  if (bErase && access) access->BackgroundChanged();
  QWidget* target = access ? access->PaintTarget() : m_widget;
  if (lpRect) {
    QRect r = ToQRect(*lpRect);
    if (access) r.translate(-access->PaintOffset());
    target->update(r);
  } else {
    target->update();
  }
}

void CWnd::UpdateWindow() {
  if (!m_widget || !m_widget->isVisible()) return;
  // Paints what is invalid now, and only that: the window's repaint request,
  // sent rather than queued, paints the areas marked for repainting in it.
  QEvent request(QEvent::UpdateRequest);
  QCoreApplication::sendEvent(m_widget->window(), &request);
}

BOOL CWnd::RedrawWindow(LPCRECT lpRect, UINT flags) {
  if (!m_widget) return FALSE;
  if (flags & RDW_INVALIDATE) InvalidateRect(lpRect, (flags & RDW_ERASE) ? TRUE : FALSE);
  if (flags & RDW_UPDATENOW) UpdateWindow();
  return TRUE;
}

void CWnd::SetRedraw(BOOL bRedraw) {
  if (m_widget) m_widget->setUpdatesEnabled(bRedraw != FALSE);
}

CWnd* CWnd::SetFocus() {
  CWnd* old = GetFocus();
  if (m_widget) m_widget->setFocus(Qt::OtherFocusReason);
  return old;
}

CWnd* CWnd::GetFocus() {
  if (!QCoreApplication::instance()) return nullptr;
  return OwnerOf(QApplication::focusWidget());
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
  HICON& slot = bBigIcon ? m_hIconBig : m_hIconSmall;
  HICON old = slot;
  slot = hIcon;
  if (m_widget && hIcon) m_widget->setWindowIcon(hIcon->icon);
  return old;
}

HICON CWnd::GetIcon(BOOL bBigIcon) const {
  return bBigIcon ? m_hIconBig : m_hIconSmall;
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
  if (!pFont || !pFont->Font()) return;
  m_font.SetFont(*pFont->Font());
  if (m_widget) {
    m_widget->setFont(*pFont->Font());
    if (bRedraw) m_widget->update();
  }
}

CFont* CWnd::GetFont() const {
  auto* self = const_cast<CWnd*>(this);
  if (self->m_font.IsEmpty() && m_widget) self->m_font.SetFont(m_widget->font());
  return &self->m_font;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!m_widget) return 0;
  return Bridge::Dispatch(this, message, wParam, lParam, nullptr);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!m_widget) return FALSE;
  HWND h = m_hWnd;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [h, message, wParam, lParam] {
        if (CWnd* w = CWnd::FromHandle(h)) w->SendMessage(message, wParam, lParam);
      },
      Qt::QueuedConnection);
  return TRUE;
}

BOOL CWnd::PreTranslateMessage(MSG* /*pMsg*/) {
  return FALSE;
}

LRESULT CWnd::Default() {
  auto& stack = Stack();
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    Handling* c = *it;
    if (c->wnd != this) continue;
    if (c->def) {
      if (c->used) return 0;
      c->used = true;
      return c->def();
    }
    return DefWindowProc(c->msg, c->wp, c->lp);
  }
  return 0;
}

}  // namespace platform
