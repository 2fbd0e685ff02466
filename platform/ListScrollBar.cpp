#include "platform/ListScrollBar_p.h"

#include <QPainter>
#include <QStyleOptionSlider>

#include "platform/WndBridge_p.h"

namespace platform {

ListScrollBar::ListScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}

bool ListScrollBar::AtRest() const {
  return !underMouse() && !isSliderDown();
}

ListScrollBar::Look ListScrollBar::CurrentLook() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  Look look;
  look.size = size();
  look.state = option.state;
  look.slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
  look.atMinimum = option.sliderValue == option.minimum;
  look.atMaximum = option.sliderValue == option.maximum;
  look.palette = palette().cacheKey();
  return look;
}

void ListScrollBar::sliderChange(SliderChange change) {
  if (!m_picture.isNull() && AtRest() && CurrentLook() == m_shown) return;  // nothing to repaint
  QScrollBar::sliderChange(change);
}

void ListScrollBar::DrawPicture(const Look& look) {
  const qreal ratio = devicePixelRatioF();
  m_picture = QImage(look.size * ratio, QImage::Format_ARGB32_Premultiplied);
  m_picture.setDevicePixelRatio(ratio);
  m_picture.fill(Qt::transparent);
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.subControls = QStyle::SC_All;
  option.activeSubControls = QStyle::SC_None;
  QPainter painter(&m_picture);
  // The style's fills are drawn in bands, which keep them on this thread.
  ForEachBand(QRect(QPoint(0, 0), look.size), [&](const QRect& band) {
    painter.setClipRect(band);
    style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
  });
  m_shown = look;
}

void ListScrollBar::paintEvent(QPaintEvent* e) {
  if (!AtRest()) {
    // Hovered or dragged: the style shows the parts under the pointer.
    m_picture = QImage();
    QScrollBar::paintEvent(e);
    return;
  }
  const Look look = CurrentLook();
  if (m_picture.isNull() || !(look == m_shown)) DrawPicture(look);
  QPainter painter(this);
  DrawImageBanded(&painter, QPoint(0, 0), m_picture);
}

}  // namespace platform
