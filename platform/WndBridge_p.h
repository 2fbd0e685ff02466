// Inside the windowing layer: how Qt widgets hand their events to the CWnd
// that owns them. Not for use outside platform/.
#pragma once

#include <QAbstractScrollArea>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>
#include <functional>
#include <type_traits>

#include "platform/WinBool.h"
#include "platform/Wnd.h"

namespace platform {

// Implemented by every widget that belongs to a CWnd.
class BridgeAccess {
 public:
  virtual ~BridgeAccess() = default;
  CWnd* owner = nullptr;
  virtual void BaseKeyPress(QKeyEvent* e) = 0;
  // The widget that receives paint and mouse events (the viewport of a
  // scrolled widget) and its offset in client coordinates.
  virtual QWidget* PaintTarget() = 0;
  virtual QPoint PaintOffset() = 0;
  // The window was invalidated with its background erased: a window that
  // keeps a picture of its background lets it go.
  virtual void BackgroundChanged() {}
};

BridgeAccess* BridgeOf(QWidget* w);

// Events being handled by widgets of this layer right now, nested ones
// included: while any is, no widget of a destroyed window may be freed.
extern int g_bridgedEventDepth;
// Frees the widgets of destroyed windows once no handler can be running on
// them. A host that never runs an event loop never delivers their deferred
// deletion, so this is called where windows are made, shown or destroyed.
void FreeDestroyedWidgets();
// Qt queues one repaint request for a widget it shows and one for each of its
// children; they do not merge, and only an event loop delivers them. This
// takes them back and marks the widget for repainting instead, which joins
// its window's one pending repaint.
void TakeBackShowRepaints(QWidget* shown);
// The CWnd owning w or its nearest owned ancestor.
CWnd* OwnerOf(QWidget* w);

struct CWnd::Bridge {
  static LRESULT Dispatch(CWnd* w, UINT msg, WPARAM wp, LPARAM lp, std::function<LRESULT()> def);
  static bool Alive(CWnd* w);
  static void WidgetGone(CWnd* w);
  static void Paint(CWnd* w, QWidget* target, QPoint offset, const std::function<void()>& basePaint);
  // Runs the window's background erase into a painter set up on any device
  // the size of target (the window's own paint or a picture of it).
  static void Erase(CWnd* w, QPainter& painter, QWidget* target, QPoint offset);
  static void Mouse(CWnd* w, UINT msg, QMouseEvent* e, QPoint offset, const std::function<void()>& base);
  static void Wheel(CWnd* w, QWheelEvent* e, QPoint offset, const std::function<void()>& base);
  static void Key(CWnd* w, QKeyEvent* e, BridgeAccess* access);
  static void KeyUp(CWnd* w, QKeyEvent* e, const std::function<void()>& base);
  static void Focus(CWnd* w, bool in, const std::function<void()>& base);
  static void Resize(CWnd* w, QResizeEvent* e, const std::function<void()>& base);
  static void Close(CWnd* w, QCloseEvent* e);
  static void Scroll(CWnd* w, bool vertical, int action, int pos);
  static void DefaultErase(CWnd* w, CDC* dc, COLORREF color);
  static RECT Client(const CWnd* w) { return w->ClientArea(); }
};

// A Qt widget of the given class whose events reach the owning CWnd.
template <class Base>
class Bridged : public Base, public BridgeAccess {
 public:
  using Base::Base;
  ~Bridged() override {
    if (owner) CWnd::Bridge::WidgetGone(owner);
  }

  void BaseKeyPress(QKeyEvent* e) override { Base::keyPressEvent(e); }
  QWidget* PaintTarget() override {
    if constexpr (std::is_base_of_v<QAbstractScrollArea, Base>)
      return this->viewport();
    else
      return this;
  }
  QPoint PaintOffset() override {
    if constexpr (std::is_base_of_v<QAbstractScrollArea, Base>)
      return this->viewport()->pos();
    else
      return QPoint(0, 0);
  }

 protected:
  bool event(QEvent* e) override {
    struct Depth {
      Depth() { ++g_bridgedEventDepth; }
      ~Depth() { --g_bridgedEventDepth; }
    } depth;
    if (owner && e->type() == QEvent::Resize) {
      bool result = false;
      CWnd::Bridge::Resize(owner, static_cast<QResizeEvent*>(e), [&] { result = Base::event(e); });
      return result;
    }
    return Base::event(e);
  }
  void paintEvent(QPaintEvent* e) override {
    QWidget* target = PaintTarget();
    if (!owner || !target->testAttribute(Qt::WA_WState_InPaintEvent)) {
      Base::paintEvent(e);
      return;
    }
    CWnd::Bridge::Paint(owner, target, PaintOffset(), [&] { Base::paintEvent(e); });
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (owner && e->button() == Qt::LeftButton)
      CWnd::Bridge::Mouse(owner, WM_LBUTTONDOWN, e, PaintOffset(), [&] { Base::mousePressEvent(e); });
    else
      Base::mousePressEvent(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (owner && e->button() == Qt::LeftButton)
      CWnd::Bridge::Mouse(owner, WM_LBUTTONUP, e, PaintOffset(), [&] { Base::mouseReleaseEvent(e); });
    else
      Base::mouseReleaseEvent(e);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    if (owner && e->button() == Qt::LeftButton)
      CWnd::Bridge::Mouse(owner, WM_LBUTTONDBLCLK, e, PaintOffset(), [&] { Base::mouseDoubleClickEvent(e); });
    else
      Base::mouseDoubleClickEvent(e);
  }
  void wheelEvent(QWheelEvent* e) override {
    if (owner)
      CWnd::Bridge::Wheel(owner, e, PaintOffset(), [&] { Base::wheelEvent(e); });
    else
      Base::wheelEvent(e);
  }
  void keyPressEvent(QKeyEvent* e) override {
    if (owner)
      CWnd::Bridge::Key(owner, e, this);
    else
      Base::keyPressEvent(e);
  }
  void keyReleaseEvent(QKeyEvent* e) override {
    if (owner)
      CWnd::Bridge::KeyUp(owner, e, [&] { Base::keyReleaseEvent(e); });
    else
      Base::keyReleaseEvent(e);
  }
  // A popup menu takes no keyboard focus on the platform: its coming and going
  // is no focus change for the window (an edit's context menu must not end it).
  void focusInEvent(QFocusEvent* e) override {
    if (owner && e->reason() != Qt::PopupFocusReason)
      CWnd::Bridge::Focus(owner, true, [&] { Base::focusInEvent(e); });
    else
      Base::focusInEvent(e);
  }
  void focusOutEvent(QFocusEvent* e) override {
    if (owner && e->reason() != Qt::PopupFocusReason)
      CWnd::Bridge::Focus(owner, false, [&] { Base::focusOutEvent(e); });
    else
      Base::focusOutEvent(e);
  }
  void closeEvent(QCloseEvent* e) override {
    if (owner)
      CWnd::Bridge::Close(owner, e);
    else
      Base::closeEvent(e);
  }
};

// Qt's raster engine hands a fill or copy of more than 95 lines to a pool of
// threads; for a window a few hundred lines high the hand-off costs more than
// the work. These draw in bands of 64 lines, which stay on this thread.
void ForEachBand(const QRect& area, const std::function<void(const QRect&)>& draw);
void FillBanded(QPainter* painter, const QRect& area, const QColor& color);
void DrawImageBanded(QPainter* painter, const QPoint& at, const QImage& image);

// Conversions at the Qt edge.
QString ToQt(const std::string& gbk);
std::string FromQt(const QString& text);
QColor ToQColor(COLORREF color);
RECT ToRECT(const QRect& r);
QRect ToQRect(const RECT& r);
// Runs the pre-translation hooks and hot keys for every key press (once per
// application).
void InstallKeyFilter();
// Ends the hot keys registered for a window that is going.
void UnregisterHotKeys(HWND hWnd);

}  // namespace platform
