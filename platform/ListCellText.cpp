#include "platform/ListCellText_p.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextOption>
#include <cmath>

namespace platform::listctrl {

namespace {

// Text that drawText lays out on one line, left to right, with nothing it
// treats specially (line breaks, tabs, length variants).
bool IsPlainLine(const QString& text) {
  for (const QChar ch : text) {
    const char16_t c = ch.unicode();
    if (c < 0x20 || c == 0x7F || c == 0x9C || c == 0x2028 || c == 0x2029) return false;
  }
  return !text.isRightToLeft();
}

// Lays the text out as QPainter::drawText does for one line in a rectangle.
bool LayOut(const QString& text, const QFont& font, LaidOutText& out) {
  auto layout = std::make_shared<QTextLayout>(text, font);
  QTextOption option;
  option.setTextDirection(Qt::LeftToRight);
  option.setAlignment(Qt::AlignLeft);
  option.setFlags(QTextOption::IncludeTrailingSpaces);
  layout->setTextOption(option);
  layout->setCacheEnabled(true);
  layout->beginLayout();
  const qreal leading = QFontMetricsF(font).leading();
  QTextLine line = layout->createLine();
  if (!line.isValid()) {
    layout->endLayout();
    return false;
  }
  line.setLineWidth(0x01000000);
  // Lines start on whole pixels.
  const qreal top = std::ceil(-leading + leading);
  line.setPosition(QPointF(0., top));
  const bool oneLine = !layout->createLine().isValid();
  layout->endLayout();
  if (!oneLine) return false;
  out = LaidOutText{font, std::move(layout), line.naturalTextWidth(), top + line.ascent() + line.descent(),
                    line.horizontalAdvance()};
  return true;
}

}  // namespace

// drawText(rect, flags, text) for a cell, from the layout kept with the cell
// when there is one: the same glyphs at the same places.
void DrawCellText(QPainter* painter, const QRect& rect, int flags, const QString& text, LaidOutText& cache) {
  if (text.isEmpty()) return;
  if (painter->layoutDirection() != Qt::LeftToRight || !IsPlainLine(text)) {
    painter->drawText(rect, flags, text);
    return;
  }
  const QFont font = painter->font();
  if (!cache.layout || cache.font != font) {
    if (!LayOut(text, font, cache)) {
      cache = LaidOutText();
      painter->drawText(rect, flags, text);
      return;
    }
  }
  const QRectF r(rect);
  qreal yoff = 0;
  qreal xoff = 0;
  if (flags & Qt::AlignBottom)
    yoff = r.height() - cache.height;
  else if (flags & Qt::AlignVCenter)
    yoff = (r.height() - cache.height) / 2;
  if (flags & Qt::AlignRight)
    xoff = r.width() - cache.width;
  else if (flags & Qt::AlignHCenter)
    xoff = (r.width() - cache.width) / 2;
  // Text larger than its rectangle is clipped to it.
  const bool clip = !r.contains(QRectF(r.x() + xoff, r.y() + yoff, cache.width, cache.height));
  if (clip) {
    painter->save();
    painter->setClipRect(r, Qt::IntersectClip);
  }
  xoff = 0;
  if (flags & Qt::AlignRight)
    xoff = r.width() - cache.advance;
  else if (flags & Qt::AlignHCenter)
    xoff = (r.width() - cache.advance) / 2;
  cache.layout->lineAt(0).draw(painter, QPointF(r.x() + xoff, r.y() + yoff));
  if (clip) painter->restore();
}

}  // namespace platform::listctrl
