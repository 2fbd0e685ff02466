// Inside the windowing layer: a list cell's text laid out once and drawn
// from that layout, with the very glyphs and places QPainter::drawText gives.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QTextLayout>
#include <memory>

class QPainter;

namespace platform::listctrl {

// shape for it on every paint.
struct LaidOutText {
  QFont font;
  std::shared_ptr<QTextLayout> layout;
  qreal width = 0;
  qreal height = 0;
  qreal advance = 0;
};

// drawText(rect, flags, text) for a cell, from the layout kept with the cell
// when there is one (made on first use).
void DrawCellText(QPainter* painter, const QRect& rect, int flags, const QString& text, LaidOutText& cache);

}  // namespace platform::listctrl
