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

QString ToQt(const std::string& gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }
std::string FromQt(const QString& text) { return Utf8ToGbk(text.toStdString()); }
QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
RECT ToRECT(const QRect& r) { return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
QRect ToQRect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

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

// The key press being pre-translated, for TranslateMessage / DispatchMessage
// and GetKeyState.
struct KeyContext {
  QKeyEvent* event = nullptr;
  CWnd* target = nullptr;
  bool translated = false;
  bool suppressChar = false;
};
KeyContext* g_key = nullptr;
// A key press whose character a pre-translation hook consumed.
const QKeyEvent* g_charConsumed = nullptr;

UINT VirtualKey(const QKeyEvent* e) {
  const int k = e->key();
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return static_cast<UINT>(k);
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return static_cast<UINT>(k);
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return VK_F1 + static_cast<UINT>(k - Qt::Key_F1);
  switch (k) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Alt: return VK_MENU;
    default: return static_cast<UINT>(k & 0xFFFF);
  }
}

// The character a key makes (0 for none), as the platform derives it.
UINT CharOf(const QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Delete: return 0;
    default: break;
  }
  const QString text = e->text();
  if (text.isEmpty()) return 0;
  const char16_t c = text.at(0).unicode();
  if (c == 0x7F) return 0;
  return c;
}

LPARAM KeyData(const QKeyEvent* e) { return MAKELPARAM(e->count() > 0 ? e->count() : 1, 0); }

MSG MakeMsg(CWnd* target, UINT message, WPARAM wp, LPARAM lp) {
  MSG msg;
  msg.hwnd = target->GetSafeHwnd();
  msg.message = message;
  msg.wParam = wp;
  msg.lParam = lp;
  return msg;
}

struct HotKey {
  HWND hwnd;
  int id;
  UINT modifiers;
  UINT vk;
};
std::vector<HotKey>& HotKeys() {
  static std::vector<HotKey> keys;
  return keys;
}

UINT ModifiersOf(const QKeyEvent* e) {
  UINT mods = 0;
  if (e->modifiers().testFlag(Qt::AltModifier)) mods |= MOD_ALT;
  if (e->modifiers().testFlag(Qt::ControlModifier)) mods |= MOD_CONTROL;
  if (e->modifiers().testFlag(Qt::ShiftModifier)) mods |= MOD_SHIFT;
  return mods;
}

// Sends WM_HOTKEY for a registered combination; true when one matched.
bool FireHotKey(const QKeyEvent* e) {
  const UINT vk = VirtualKey(e);
  const UINT mods = ModifiersOf(e);
  for (const HotKey& key : HotKeys()) {
    if (key.vk != vk || key.modifiers != mods) continue;
    if (CWnd* w = CWnd::FromHandle(key.hwnd)) w->SendMessage(WM_HOTKEY, static_cast<WPARAM>(key.id), MAKELPARAM(mods, vk));
    return true;
  }
  return false;
}

// Offers msg to target and its parents up to the top-level window.
bool WalkPreTranslate(CWnd* target, MSG* msg) {
  for (CWnd* w = target; w; w = w->GetParent()) {
    if (!CWnd::Bridge::Alive(w)) return true;
    QWidget* widget = w->GetQWidget();
    const bool top = !widget || widget->isWindow();
    if (w->PreTranslateMessage(msg)) return true;
    if (top) break;
  }
  return false;
}

// Runs the pre-translation hooks before a key reaches its window.
class KeyFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* obj, QEvent* e) override {
    if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease) return false;
    QWidget* widget = qobject_cast<QWidget*>(obj);
    if (!widget) return false;
    // A key the focus widget ignored travels up to its parents: already seen.
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus != widget && widget->isAncestorOf(focus)) return false;
    CWnd* target = OwnerOf(widget);
    if (!target) return false;
    auto* key = static_cast<QKeyEvent*>(e);
    g_charConsumed = nullptr;
    if (e->type() == QEvent::KeyPress && FireHotKey(key)) {
      key->accept();
      return true;
    }
    KeyContext context;
    context.event = key;
    context.target = target;
    KeyContext* outer = g_key;
    g_key = &context;
    bool consumed = false;
    if (e->type() == QEvent::KeyRelease) {
      MSG msg = MakeMsg(target, WM_KEYUP, VirtualKey(key), KeyData(key));
      consumed = WalkPreTranslate(target, &msg);
    } else {
      MSG down = MakeMsg(target, WM_KEYDOWN, VirtualKey(key), KeyData(key));
      consumed = WalkPreTranslate(target, &down);
      if (!consumed) {
        if (const UINT ch = CharOf(key)) {
          MSG charMsg = MakeMsg(target, WM_CHAR, ch, KeyData(key));
          if (WalkPreTranslate(target, &charMsg)) g_charConsumed = key;
        }
      }
    }
    g_key = outer;
    if (consumed) key->accept();
    return consumed;
  }
};

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
  for (QWidget* child : shown->findChildren<QWidget*>()) QCoreApplication::removePostedEvents(child, QEvent::UpdateLater);
  if (shown->isVisible()) shown->update();
}

void InstallKeyFilter() {
  static QPointer<KeyFilter> filter;
  if (filter || !QCoreApplication::instance()) return;
  filter = new KeyFilter(QCoreApplication::instance());
  QCoreApplication::instance()->installEventFilter(filter);
}

BridgeAccess* BridgeOf(QWidget* w) { return w ? dynamic_cast<BridgeAccess*>(w) : nullptr; }

CWnd* OwnerOf(QWidget* w) {
  for (; w; w = w->parentWidget()) {
    if (BridgeAccess* b = BridgeOf(w); b && b->owner) return b->owner;
    if (w->isWindow()) break;
  }
  return nullptr;
}

short GetKeyState(int nVirtKey) {
  Qt::KeyboardModifiers mods =
      g_key ? g_key->event->modifiers() : (QCoreApplication::instance() ? QGuiApplication::queryKeyboardModifiers() : Qt::NoModifier);
  bool held = false;
  switch (static_cast<UINT>(nVirtKey)) {
    case VK_CONTROL: held = mods.testFlag(Qt::ControlModifier); break;
    case VK_SHIFT: held = mods.testFlag(Qt::ShiftModifier); break;
    case VK_MENU: held = mods.testFlag(Qt::AltModifier); break;
    default: break;
  }
  return held ? static_cast<short>(0x8000) : 0;
}

BOOL TranslateMessage(const MSG* pMsg) {
  if (!pMsg || !g_key || pMsg->message != WM_KEYDOWN) return FALSE;
  // The character of this key follows the key-down straight to its window.
  g_key->translated = CharOf(g_key->event) != 0;
  return g_key->translated;
}

LRESULT DispatchMessage(const MSG* pMsg) {
  if (!pMsg) return 0;
  CWnd* w = CWnd::FromHandle(pMsg->hwnd);
  if (!w) return 0;
  if (g_key && pMsg->message == WM_KEYDOWN && w->GetQWidget()) {
    if (BridgeAccess* access = BridgeOf(w->GetQWidget())) {
      const bool withChar = g_key->translated;
      QKeyEvent* key = g_key->event;
      g_charConsumed = withChar ? nullptr : key;
      CWnd::Bridge::Key(w, key, access);
      return 0;
    }
  }
  return w->SendMessage(pMsg->message, pMsg->wParam, pMsg->lParam);
}

// The offscreen and minimal platforms have no window stacking.
static bool Headless() {
  const QString name = QGuiApplication::platformName();
  return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

BOOL IsWindow(HWND hWnd) { return hWnd && Registry().count(hWnd) != 0; }

BOOL RegisterHotKey(HWND hWnd, int id, UINT fsModifiers, UINT vk) {
  if (!IsWindow(hWnd)) return FALSE;
  fsModifiers &= MOD_ALT | MOD_CONTROL | MOD_SHIFT;
  for (const HotKey& key : HotKeys())
    if ((key.vk == vk && key.modifiers == fsModifiers) || (key.hwnd == hWnd && key.id == id)) return FALSE;
  HotKeys().push_back(HotKey{hWnd, id, fsModifiers, vk});
  return TRUE;
}

BOOL UnregisterHotKey(HWND hWnd, int id) {
  auto& keys = HotKeys();
  const auto it = std::find_if(keys.begin(), keys.end(), [&](const HotKey& k) { return k.hwnd == hWnd && k.id == id; });
  if (it == keys.end()) return FALSE;
  keys.erase(it);
  return TRUE;
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

void CWnd::Bridge::DefaultErase(CWnd* w, CDC* dc, COLORREF color) {
  const RECT client = w->ClientArea();
  RECT r{0, 0, client.right - client.left, client.bottom - client.top};
  dc->FillSolidRect(&r, color);
}

void CWnd::Bridge::Erase(CWnd* w, QPainter& painter, QWidget* target, QPoint offset) {
  painter.translate(-offset);
  CDC dc;
  dc.AttachPainter(&painter, target->font());
  const QColor window = target->palette().color(QPalette::Window);
  Dispatch(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(&dc), 0, [&]() -> LRESULT {
    DefaultErase(w, &dc, RGB(window.red(), window.green(), window.blue()));
    return 1;
  });
}

void CWnd::Bridge::Paint(CWnd* w, QWidget* target, QPoint offset, const std::function<void()>& basePaint) {
  {
    QPainter painter(target);
    Erase(w, painter, target, offset);
  }
  if (!Alive(w)) return;
  Dispatch(w, WM_PAINT, 0, 0, [&]() -> LRESULT {
    basePaint();
    return 0;
  });
}

static UINT MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
  UINT flags = 0;
  if (buttons & Qt::LeftButton) flags |= MK_LBUTTON;
  if (buttons & Qt::RightButton) flags |= MK_RBUTTON;
  if (mods & Qt::ShiftModifier) flags |= MK_SHIFT;
  if (mods & Qt::ControlModifier) flags |= MK_CONTROL;
  return flags;
}

void CWnd::Bridge::Mouse(CWnd* w, UINT msg, QMouseEvent* e, QPoint offset, const std::function<void()>& base) {
  const QPoint p = e->position().toPoint() + offset;
  Dispatch(w, msg, MouseFlags(e->buttons(), e->modifiers()), MAKELPARAM(p.x(), p.y()), [&]() -> LRESULT {
    base();
    return 0;
  });
}

void CWnd::Bridge::Wheel(CWnd* w, QWheelEvent* e, QPoint offset, const std::function<void()>& base) {
  const QPoint p = e->position().toPoint() + offset;
  const int delta = e->angleDelta().y();
  const WPARAM wp = (MouseFlags(e->buttons(), e->modifiers()) & 0xFFFF) | (static_cast<WPARAM>(delta & 0xFFFF) << 16);
  Dispatch(w, WM_MOUSEWHEEL, wp, MAKELPARAM(p.x(), p.y()), [&]() -> LRESULT {
    base();
    return 0;
  });
}

void CWnd::Bridge::Key(CWnd* w, QKeyEvent* e, BridgeAccess* access) {
  const UINT ch = g_charConsumed == e ? 0 : CharOf(e);
  if (g_charConsumed == e) g_charConsumed = nullptr;
  const UINT vk = VirtualKey(e);
  const LPARAM lp = KeyData(e);
  QPointer<QWidget> widget = dynamic_cast<QWidget*>(access);
  // Qt handles a key once: with its character when it has one, else with the
  // key-down.
  Dispatch(w, WM_KEYDOWN, vk, lp, [&]() -> LRESULT {
    if (!ch && widget) access->BaseKeyPress(e);
    return 0;
  });
  if (!ch || !Alive(w) || !widget) return;
  Dispatch(w, WM_CHAR, ch, lp, [&]() -> LRESULT {
    if (widget) access->BaseKeyPress(e);
    return 0;
  });
}

void CWnd::Bridge::KeyUp(CWnd* w, QKeyEvent* e, const std::function<void()>& base) {
  Dispatch(w, WM_KEYUP, VirtualKey(e), KeyData(e), [&]() -> LRESULT {
    base();
    return 0;
  });
}

void CWnd::Bridge::Focus(CWnd* w, bool in, const std::function<void()>& base) {
  // The other window: the one losing the focus, or the one receiving it.
  CWnd* other = in ? nullptr : OwnerOf(QApplication::focusWidget());
  if (other == w) other = nullptr;
  Dispatch(w, in ? WM_SETFOCUS : WM_KILLFOCUS, reinterpret_cast<WPARAM>(other ? other->GetSafeHwnd() : nullptr), 0,
           [&]() -> LRESULT {
             base();
             return 0;
           });
}

void CWnd::Bridge::Resize(CWnd* w, QResizeEvent* e, const std::function<void()>& base) {
  // Lay the widget out first so that the handler sees the new client area.
  base();
  if (!Alive(w)) return;
  const RECT client = w->ClientArea();
  (void)e;
  Dispatch(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right - client.left, client.bottom - client.top),
           []() -> LRESULT { return 0; });
}

void CWnd::Bridge::Close(CWnd* w, QCloseEvent* e) {
  // The window decides itself (DestroyWindow, or a dialog's OnCancel).
  e->ignore();
  Dispatch(w, WM_CLOSE, 0, 0, nullptr);
}

void CWnd::Bridge::Scroll(CWnd* w, bool vertical, int action, int pos) {
  UINT code = SB_ENDSCROLL;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
    default: break;
  }
  const WPARAM wp = (code & 0xFFFF) | (static_cast<WPARAM>(pos & 0xFFFF) << 16);
  Dispatch(w, vertical ? WM_VSCROLL : WM_HSCROLL, wp, 0, []() -> LRESULT { return 0; });
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
  const LRESULT created = Bridge::Dispatch(this, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs), []() -> LRESULT { return 0; });
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
  std::erase_if(HotKeys(), [this](const HotKey& k) { return k.hwnd == m_hWnd; });
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
  if (lpRect) MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, bRepaint);
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

void CWnd::ClientToScreen(LPPOINT lpPoint) const {
  if (!lpPoint || !m_widget) return;
  const QPoint p = m_widget->mapToGlobal(QPoint(lpPoint->x, lpPoint->y));
  lpPoint->x = p.x();
  lpPoint->y = p.y();
}

void CWnd::ClientToScreen(LPRECT lpRect) const {
  if (!lpRect) return;
  POINT a{lpRect->left, lpRect->top}, b{lpRect->right, lpRect->bottom};
  ClientToScreen(&a);
  ClientToScreen(&b);
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

BOOL CWnd::IsWindowVisible() const { return m_widget && m_widget->isVisible() ? TRUE : FALSE; }

void CWnd::Invalidate(BOOL bErase) { InvalidateRect(nullptr, bErase); }

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

HICON CWnd::GetIcon(BOOL bBigIcon) const { return bBigIcon ? m_hIconBig : m_hIconSmall; }

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

BOOL CWnd::PreTranslateMessage(MSG* /*pMsg*/) { return FALSE; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const CPoint point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  switch (message) {
    case WM_CREATE: return OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_NCDESTROY: OnNcDestroy(); return 0;
    case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<CDC*>(wParam));
    case WM_PAINT: OnPaint(); return 0;
    case WM_SIZE: OnSize(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam))); return 0;
    case WM_WINDOWPOSCHANGING: OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam)); return 0;
    case WM_WINDOWPOSCHANGED: OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam)); return 0;
    case WM_HSCROLL: OnHScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<CScrollBar*>(lParam)); return 0;
    case WM_VSCROLL: OnVScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<CScrollBar*>(lParam)); return 0;
    case WM_MOUSEWHEEL: return OnMouseWheel(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), point);
    case WM_LBUTTONDOWN: OnLButtonDown(static_cast<UINT>(wParam), point); return 0;
    case WM_LBUTTONUP: OnLButtonUp(static_cast<UINT>(wParam), point); return 0;
    case WM_LBUTTONDBLCLK: OnLButtonDblClk(static_cast<UINT>(wParam), point); return 0;
    case WM_KEYDOWN: OnKeyDown(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam))); return 0;
    case WM_KEYUP: OnKeyUp(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam))); return 0;
    case WM_CHAR: OnChar(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam))); return 0;
    case WM_SETFOCUS: OnSetFocus(FromHandle(reinterpret_cast<HWND>(wParam))); return 0;
    case WM_KILLFOCUS: OnKillFocus(FromHandle(reinterpret_cast<HWND>(wParam))); return 0;
    case WM_CTLCOLORDLG:
      return reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<CDC*>(wParam), FromHandle(reinterpret_cast<HWND>(lParam)), CTLCOLOR_DLG));
    case WM_HOTKEY: return OnHotKey(wParam, lParam);
    case WM_CLOSE: OnClose(); return 0;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
      return result;
    }
    default: return DefWindowProc(message, wParam, lParam);
  }
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETICON: return reinterpret_cast<LRESULT>(SetIcon(reinterpret_cast<HICON>(lParam), wParam == ICON_BIG));
    case WM_SETTEXT:
      if (lParam) SetWindowText(reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_CLOSE: DestroyWindow(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETREDRAW: SetRedraw(wParam != 0 ? TRUE : FALSE); return 0;
    default: return 0;
  }
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

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnNcDestroy() { Default(); }
void CWnd::PostNcDestroy() {}
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnPaint() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnWindowPosChanging(WINDOWPOS*) { Default(); }
void CWnd::OnWindowPosChanged(WINDOWPOS*) { Default(); }
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return static_cast<BOOL>(Default()); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
LRESULT CWnd::OnHotKey(WPARAM, LPARAM) { return Default(); }
void CWnd::OnClose() { Default(); }

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (!header) return FALSE;
  // Reflect the notification to the window that sent it.
  CWnd* sender = FromHandle(header->hwndFrom);
  if (sender && sender->OnChildNotify(WM_NOTIFY, wParam, lParam, pResult)) return TRUE;
  return FALSE;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

}  // namespace platform
