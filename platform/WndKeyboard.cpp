// The keyboard of the windowing layer: Qt key events become WM_KEYDOWN,
// WM_CHAR and WM_KEYUP, offered to PreTranslateMessage from the focus window
// up to its top-level window before the window's own handlers see them, and
// hot keys registered for a window take their combination from every window.
#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <algorithm>
#include <vector>

#include "platform/Gdi.h"
#include "platform/Wnd.h"
#include "platform/WndBridge_p.h"

namespace platform {

namespace {

// The key press being pre-translated, for TranslateMessage / DispatchMessage
// and GetKeyState.
struct KeyContext {
  QKeyEvent* event = nullptr;
  bool translated = false;
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
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Delete:
      return VK_DELETE;
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_Insert:
      return VK_INSERT;
    case Qt::Key_Control:
      return VK_CONTROL;
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_Alt:
      return VK_MENU;
    default:
      return static_cast<UINT>(k & 0xFFFF);
  }
}

// The character a key makes (0 for none), as the platform derives it.
UINT CharOf(const QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Delete:
      return 0;
    default:
      break;
  }
  const QString text = e->text();
  if (text.isEmpty()) return 0;
  const char16_t c = text.at(0).unicode();
  if (c == 0x7F) return 0;
  return c;
}

LPARAM KeyData(const QKeyEvent* e) {
  return MAKELPARAM(e->count() > 0 ? e->count() : 1, 0);
}

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
    if (CWnd* w = CWnd::FromHandle(key.hwnd))
      w->SendMessage(WM_HOTKEY, static_cast<WPARAM>(key.id), MAKELPARAM(mods, vk));
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

}  // namespace

void InstallKeyFilter() {
  static QPointer<KeyFilter> filter;
  if (filter || !QCoreApplication::instance()) return;
  filter = new KeyFilter(QCoreApplication::instance());
  QCoreApplication::instance()->installEventFilter(filter);
}

short GetKeyState(int nVirtKey) {
  Qt::KeyboardModifiers mods =
      g_key ? g_key->event->modifiers()
            : (QCoreApplication::instance() ? QGuiApplication::queryKeyboardModifiers() : Qt::NoModifier);
  bool held = false;
  switch (static_cast<UINT>(nVirtKey)) {
    case VK_CONTROL:
      held = mods.testFlag(Qt::ControlModifier);
      break;
    case VK_SHIFT:
      held = mods.testFlag(Qt::ShiftModifier);
      break;
    case VK_MENU:
      held = mods.testFlag(Qt::AltModifier);
      break;
    default:
      break;
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
void UnregisterHotKeys(HWND hWnd) {
  std::erase_if(HotKeys(), [hWnd](const HotKey& k) { return k.hwnd == hWnd; });
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

}  // namespace platform
