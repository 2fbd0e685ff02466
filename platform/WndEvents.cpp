// Qt events of a window's widget turned into the messages its CWnd handles:
// painting and erasing, the mouse, focus, size, closing and scrolling. The
// keyboard is in WndKeyboard.cpp.
#include <QApplication>

#include "platform/GdiObjects_p.h"
#include "platform/WndBridge_p.h"

namespace platform {

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
    case QAbstractSlider::SliderSingleStepAdd:
      code = SB_LINEDOWN;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      code = SB_LINEUP;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = SB_PAGEDOWN;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = SB_PAGEUP;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = SB_TOP;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = SB_BOTTOM;
      break;
    case QAbstractSlider::SliderMove:
      code = SB_THUMBTRACK;
      break;
    default:
      break;
  }
  const WPARAM wp = (code & 0xFFFF) | (static_cast<WPARAM>(pos & 0xFFFF) << 16);
  Dispatch(w, vertical ? WM_VSCROLL : WM_HSCROLL, wp, 0, []() -> LRESULT { return 0; });
}

}  // namespace platform
