// Inside the windowing layer: the scroll bar of a report list.
#pragma once

#include <QImage>
#include <QScrollBar>
#include <QStyle>

namespace platform {

// Repaints only when what it shows changes. A list that grows by a row
// changes its scroll bar's range each time, and Qt repaints the whole bar for
// every change although the thumb moves by less than a pixel for most of them.
// The bar at rest is drawn once into a picture and copied from there.
class ListScrollBar : public QScrollBar {
 public:
  explicit ListScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

 protected:
  void sliderChange(SliderChange change) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  // Everything the style draws a bar at rest from.
  struct Look {
    QSize size;
    QStyle::State state;
    QRect slider;
    bool atMinimum = false;
    bool atMaximum = false;
    qint64 palette = 0;
    bool operator==(const Look&) const = default;
  };
  bool AtRest() const;
  Look CurrentLook() const;
  void DrawPicture(const Look& look);

  Look m_shown;  // what the picture shows
  QImage m_picture;
};

}  // namespace platform
