#include "platform/ListView_p.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstdlib>

namespace platform::listctrl {

// ---- header ----

ListHeader::ListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  connect(this, &QHeaderView::sectionCountChanged, this, [this] { Forget(); });
}

void ListHeader::ForgetOn(const QEvent* e) {
  switch (e->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::LayoutDirectionChange:
    case QEvent::LocaleChange:
      Forget();
      break;
    default:
      break;
  }
}

QSize ListHeader::sizeHint() const {
  if (!m_hint.isValid()) m_hint = QHeaderView::sizeHint();
  return m_hint;
}

void ListHeader::setModel(QAbstractItemModel* model) {
  Forget();
  QHeaderView::setModel(model);
  if (!model) return;
  connect(model, &QAbstractItemModel::headerDataChanged, this, [this] { Forget(); });
  connect(model, &QAbstractItemModel::modelReset, this, [this] { Forget(); });
}

bool ListHeader::event(QEvent* e) {
  ForgetOn(e);
  return QHeaderView::event(e);
}

bool ListHeader::viewportEvent(QEvent* e) {
  ForgetOn(e);
  return QHeaderView::viewportEvent(e);
}

// ---- view ----

ListViewBase::ListViewBase(QWidget* parent) : QAbstractScrollArea(parent) {}

void ListViewBase::Attach(ListModel* listModel, ListHeader* listHeader) {
  model = listModel;
  m_header = listHeader;
  m_header->setParent(this);
  m_header->setModel(model);
  // Rows: repaint what moved or changed; the row count is geometry.
  connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int) {
    GeometryChanged();
    UpdateRows(first, -1);
  });
  connect(model, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int) {
    GeometryChanged();
    UpdateRows(first, -1);
  });
  connect(model, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& from, const QModelIndex& to) { UpdateRows(from.row(), to.row()); });
  connect(model, &QAbstractItemModel::modelReset, this, [this] {
    GeometryChanged();
    viewport()->update();
  });
  connect(model, &QAbstractItemModel::columnsInserted, this, [this] {
    GeometryChanged();
    viewport()->update();
  });
  connect(model, &QAbstractItemModel::columnsRemoved, this, [this] {
    GeometryChanged();
    viewport()->update();
  });
  connect(m_header, &QHeaderView::geometriesChanged, this, [this] { GeometryChanged(); });
  // A column whose width changes repaints from its left edge rightwards.
  connect(m_header, &QHeaderView::sectionResized, this, [this](int column, int oldSize, int newSize) {
    if (oldSize == newSize) return;
    GeometryChanged();
    const int left = m_header->sectionViewportPosition(column);
    viewport()->update(QRect(std::max(0, left), 0, viewport()->width(), viewport()->height()));
  });
}

void ListViewBase::TakeOverScrollBarLayout() {
  for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
    QObject::disconnect(bar, SIGNAL(rangeChanged(int, int)), this, SLOT(_q_showOrHideScrollBars()));
    QObject::connect(bar, &QAbstractSlider::rangeChanged, this, [this] { ScrollRangeChanged(); });
  }
}

void ListViewBase::QueueGeometry() {
  if (m_layoutQueued) return;
  m_layoutQueued = true;
  // One queued call at most, for a host that runs an event loop and asks
  // the list nothing.
  QMetaObject::invokeMethod(
      this,
      [this] {
        m_layoutQueued = false;
        Sync();
      },
      Qt::QueuedConnection);
}

void ListViewBase::GeometryChanged() {
  m_geometryStale = true;
  QueueGeometry();
}

void ListViewBase::ScrollRangeChanged() {
  m_scrollBarsStale = true;
  QueueGeometry();
}

void ListViewBase::LayOutScrollBars() {
  m_scrollBarsStale = false;
  if (!isVisible()) return;
  // Setting the policy again lays the scroll bars and the viewport out; the
  // header then follows the viewport's new width.
  setVerticalScrollBarPolicy(verticalScrollBarPolicy());
  UpdateGeometries();
  // A scroll bar shown again queues repaint requests of its own.
  TakeBackShowRepaints(this);
}

void ListViewBase::Sync() {
  // Showing or hiding a scroll bar resizes the viewport, which may change
  // the ranges again; this settles in two rounds at most.
  for (int round = 0; round < 3 && (m_geometryStale || m_scrollBarsStale); ++round) {
    if (m_geometryStale) UpdateGeometries();
    if (m_scrollBarsStale) LayOutScrollBars();
  }
}

void ListViewBase::UpdateGeometries() {
  if (m_inGeometry || !model || !m_header) return;
  m_inGeometry = true;
  m_geometryStale = false;
  int headerHeight = 0;
  if (!m_header->isHidden())
    headerHeight =
        std::min(std::max(m_header->minimumHeight(), m_header->sizeHint().height()), m_header->maximumHeight());
  if (viewportMargins().top() != headerHeight) setViewportMargins(0, headerHeight, 0, 0);
  const QRect area = viewport()->geometry();
  const QRect headerRect(area.left(), area.top() - headerHeight, area.width(), headerHeight);
  if (m_header->geometry() != headerRect) m_header->setGeometry(headerRect);

  // Vertical: whole rows; horizontal: pixels.
  const int rowHeight = RowHeight();
  int perPage = rowHeight > 0 ? area.height() / rowHeight : 0;
  if (model->Count() > 0) perPage = std::max(1, perPage);
  QScrollBar* vbar = verticalScrollBar();
  vbar->setRange(0, std::max(0, model->Count() - perPage));
  vbar->setPageStep(perPage);
  vbar->setSingleStep(1);
  QScrollBar* hbar = horizontalScrollBar();
  const int length = m_header->length();
  int width = area.width();
  const QSize widest = maximumViewportSize();
  if (widest.width() >= length && vbar->maximum() <= 0) width = widest.width();
  hbar->setPageStep(width);
  hbar->setRange(0, std::max(length - width, 0));
  hbar->setSingleStep(std::max(width / (model->ColumnCount() + 1), 2));
  m_header->setOffset(hbar->value());
  m_inGeometry = false;
}

void ListViewBase::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  UpdateGeometries();
}

void ListViewBase::scrollContentsBy(int dx, int dy) {
  if (dx && m_header) m_header->setOffset(horizontalScrollBar()->value());
  // The background stays where it is while the rows move over it: pixels
  // are moved only where the background is the same at both places.
  if (dx || !MoveRows(-dy)) viewport()->update();
}

void ListViewBase::ForgetBackground() {
  m_background = QImage();
  m_moves = Moves();
}

std::vector<int> ListViewBase::ColumnEdges() const {
  std::vector<int> edges;
  int x = -HorizontalOffset();
  edges.push_back(x);
  for (int c = 0; c < model->ColumnCount(); ++c) edges.push_back(x += m_header->sectionSize(c));
  return edges;
}

bool ListViewBase::MoveRows(int shift) {
  const int rowHeight = RowHeight();
  const QSize size = viewport()->size();
  // The kept picture has one pixel per pixel of the rows area.
  if (shift == 0 || rowHeight <= 0 || size.isEmpty() || !viewport()->isVisible() || devicePixelRatioF() != 1.0)
    return false;
  const int slotCount = (size.height() + rowHeight - 1) / rowHeight;
  if (std::abs(shift) >= slotCount) return false;
  if (m_background.size() != size) {
    m_background = QImage(size, QImage::Format_RGB32);
    if (!DrawBackground(m_background)) {
      ForgetBackground();
      return false;
    }
    m_moves = Moves();
  }
  std::vector<int> edges = ColumnEdges();
  const int columns = static_cast<int>(edges.size()) - 1;
  if (columns <= 0) return false;
  if (m_moves.shift != shift || m_moves.rowHeight != rowHeight || m_moves.size != size || m_moves.edges != edges) {
    // Compared once per background, shift and column layout: a cell moves
    // when every pixel of its background equals the one it replaces.
    m_moves = Moves{shift, rowHeight, size, edges, std::vector<char>(static_cast<size_t>(slotCount * columns), 0)};
    for (int slot = 0; slot < slotCount; ++slot) {
      const int top = slot * rowHeight;
      const int from = top + shift * rowHeight;
      if (top + rowHeight > size.height() || from < 0 || from + rowHeight > size.height()) continue;
      for (int c = 0; c < columns; ++c) {
        const int left = std::clamp(edges[static_cast<size_t>(c)], 0, size.width());
        const int right = std::clamp(edges[static_cast<size_t>(c) + 1], 0, size.width());
        bool same = true;
        for (int y = 0; y < rowHeight && same; ++y) {
          const auto* a = reinterpret_cast<const QRgb*>(m_background.constScanLine(top + y));
          const auto* b = reinterpret_cast<const QRgb*>(m_background.constScanLine(from + y));
          same = std::equal(a + left, a + right, b + left);
        }
        m_moves.same[static_cast<size_t>(slot * columns + c)] = same ? 1 : 0;
      }
    }
  }
  QWidget* area = viewport();
  const int dy = -shift * rowHeight;
  for (int c = 0; c < columns; ++c) {
    const int left = std::max(0, edges[static_cast<size_t>(c)]);
    const int right = std::min(size.width(), edges[static_cast<size_t>(c) + 1]);
    if (right <= left) continue;
    for (int slot = 0; slot < slotCount;) {
      if (!m_moves.same[static_cast<size_t>(slot * columns + c)]) {
        area->update(QRect(left, slot * rowHeight, right - left, rowHeight));
        ++slot;
        continue;
      }
      int last = slot;
      while (last + 1 < slotCount && m_moves.same[static_cast<size_t>((last + 1) * columns + c)]) ++last;
      // One move for the run of cells: their rows and the rows they come from.
      const int top = std::min(slot, slot + shift) * rowHeight;
      const int bottom = (std::max(last, last + shift) + 1) * rowHeight;
      area->scroll(0, dy, QRect(left, top, right - left, bottom - top));
      slot = last + 1;
    }
  }
  return true;
}

int ListViewBase::TopIndex() const {
  return model->Count() == 0 ? 0 : std::clamp(verticalScrollBar()->value(), 0, model->Count() - 1);
}

int ListViewBase::HorizontalOffset() const {
  return horizontalScrollBar()->value();
}

int ListViewBase::TotalWidth() const {
  int width = 0;
  for (int c = 0; c < model->ColumnCount(); ++c) width += m_header->sectionSize(c);
  return width;
}

int ListViewBase::RowAtViewport(QPoint p) const {
  const int offset = HorizontalOffset();
  if (p.y() < 0 || p.x() + offset < 0 || p.x() + offset >= TotalWidth()) return -1;
  const int row = TopIndex() + p.y() / RowHeight();
  return model->ValidRow(row) ? row : -1;
}

void ListViewBase::ShowRow(int row) {
  if (!model->ValidRow(row)) return;
  Sync();
  const int top = TopIndex();
  const int perPage = std::max(1, viewport()->height() / RowHeight());
  if (row < top)
    verticalScrollBar()->setValue(row);
  else if (row >= top + perPage)
    verticalScrollBar()->setValue(row - perPage + 1);
}

void ListViewBase::UpdateRows(int first, int last) {
  const int rowHeight = RowHeight();
  const int top = TopIndex();
  const int shown = rowHeight > 0 ? viewport()->height() / rowHeight + 1 : 0;
  if (last >= 0 && last < top) return;
  const int from = std::max(first, top);
  if (from >= top + shown) return;
  const int y = (from - top) * rowHeight;
  const int bottom = last < 0 ? viewport()->height() : (std::min(last, top + shown) - top + 1) * rowHeight;
  viewport()->update(QRect(0, y, viewport()->width(), bottom - y));
}

void ListViewBase::PaintCell(QPainter& painter, const QRect& cell, int row, int column, bool focusHere) const {
  Row& r = model->rows[static_cast<size_t>(row)];
  const bool fullRow = (model->extStyle & LVS_EX_FULLROWSELECT) != 0;
  // Selection shows while the list has the focus (always with LVS_SHOWSELALWAYS).
  const bool showSelection =
      r.selected && (focusHere || (model->style & LVS_SHOWSELALWAYS)) && (fullRow || column == 0);
  const QPalette& pal = palette();
  if (showSelection)
    painter.fillRect(cell, focusHere ? pal.color(QPalette::Highlight) : QColor(0xD4, 0xD0, 0xC8));
  else if (model->textBk != CLR_NONE)
    painter.fillRect(cell, ToQColor(model->textBk));

  int left = cell.left();
  if (column == 0 && model->smallImages) {
    const int iconWidth = IconWidthOf(model);
    left += r.indent * iconWidth;
    if (const QImage* image = model->smallImages->Image(r.image)) {
      const int top = cell.top() + (cell.height() - image->height()) / 2;
      painter.drawImage(QPoint(left + kIconGap, top), *image);
    }
    left += kIconGap + iconWidth;
  }
  const QRect textRect(left + kTextPadding, cell.top(), std::max(0, cell.right() + 1 - left - 2 * kTextPadding),
                       cell.height());
  if (column >= static_cast<int>(r.texts.size()) || r.texts[static_cast<size_t>(column)].empty() ||
      textRect.width() <= 0)
    return;
  painter.setPen(showSelection && focusHere ? pal.color(QPalette::HighlightedText) : ToQColor(model->textColor));
  if (ShownText* shownText = model->Shown(row, column, textRect.width(), font())) {
    model->NoteLaidOut(row);
    DrawCellText(&painter, textRect, static_cast<int>(AlignmentOf(model->FormatOf(column))), shownText->elided,
                 shownText->laidOut);
  }
}

void ListViewBase::PaintGridLines(QPainter& painter) const {
  // Grid lines over the whole client area, below the last row too.
  // One-pixel lines, both ends included, filled as rectangles: the same
  // pixels as a one-pixel pen, without stroking every pixel.
  const QColor grid(0xD0, 0xD0, 0xD0);
  const auto line = [&](QPoint from, QPoint to) {
    FillBanded(&painter,
               QRect(QPoint(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
                     QPoint(std::max(from.x(), to.x()), std::max(from.y(), to.y()))),
               grid);
  };
  const int height = viewport()->height();
  const int rowHeight = RowHeight();
  int x = -HorizontalOffset();
  for (int c = 0; c < model->ColumnCount(); ++c) {
    x += m_header->sectionSize(c);
    line(QPoint(x - 1, 0), QPoint(x - 1, height));
  }
  const int right = std::min(viewport()->width(), x);
  for (int y = rowHeight - 1; y < height; y += rowHeight) line(QPoint(0, y), QPoint(right, y));
}

void ListViewBase::paintEvent(QPaintEvent* e) {
  QPainter painter(viewport());
  const QRect area = e->rect();
  const int rowHeight = RowHeight();
  if (rowHeight > 0 && model->Count() > 0) {
    painter.setFont(font());
    const bool focusHere = hasFocus();
    const int top = TopIndex();
    const int first = top + std::max(0, area.top()) / rowHeight;
    const int last = std::min(model->Count() - 1, top + area.bottom() / rowHeight);
    for (int row = first; row <= last; ++row) {
      const int y = (row - top) * rowHeight;
      int x = -HorizontalOffset();
      for (int c = 0; c < model->ColumnCount(); ++c) {
        const int width = m_header->sectionSize(c);
        const QRect cell(x, y, width, rowHeight);
        if (width > 0 && cell.intersects(area)) PaintCell(painter, cell, row, c, focusHere);
        x += width;
      }
    }
  }
  if (model->extStyle & LVS_EX_GRIDLINES) PaintGridLines(painter);
}

void ListViewBase::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const int row = RowAtViewport(e->position().toPoint());
  const bool single = (model->style & LVS_SINGLESEL) != 0;
  const bool ctrl = !single && e->modifiers().testFlag(Qt::ControlModifier);
  const bool shift = !single && e->modifiers().testFlag(Qt::ShiftModifier);
  if (row < 0) {
    if (!ctrl)
      for (Row& r : model->rows) r.selected = false;
  } else if (ctrl) {
    model->rows[static_cast<size_t>(row)].selected = !model->rows[static_cast<size_t>(row)].selected;
    model->focused = model->anchor = row;
  } else if (shift && model->ValidRow(model->anchor)) {
    for (Row& r : model->rows) r.selected = false;
    for (int i = std::min(row, model->anchor); i <= std::max(row, model->anchor); ++i)
      model->rows[static_cast<size_t>(i)].selected = true;
    model->focused = row;
  } else {
    for (Row& r : model->rows) r.selected = false;
    model->rows[static_cast<size_t>(row)].selected = true;
    model->focused = model->anchor = row;
  }
  viewport()->update();
}

void ListViewBase::keyPressEvent(QKeyEvent* e) {
  const int count = model->Count();
  const int perPage = std::max(1, viewport()->height() / RowHeight());
  int target = model->focused;
  switch (e->key()) {
    case Qt::Key_Up:
      target = target < 0 ? 0 : target - 1;
      break;
    case Qt::Key_Down:
      target = target < 0 ? 0 : target + 1;
      break;
    case Qt::Key_PageUp:
      target = target < 0 ? 0 : target - perPage;
      break;
    case Qt::Key_PageDown:
      target = target < 0 ? 0 : target + perPage;
      break;
    case Qt::Key_Home:
      target = 0;
      break;
    case Qt::Key_End:
      target = count - 1;
      break;
    case Qt::Key_Left:
      horizontalScrollBar()->setValue(horizontalScrollBar()->value() - 8);
      return;
    case Qt::Key_Right:
      horizontalScrollBar()->setValue(horizontalScrollBar()->value() + 8);
      return;
    default:
      e->ignore();
      return;
  }
  if (count == 0) return;
  target = std::clamp(target, 0, count - 1);
  if (!e->modifiers().testFlag(Qt::ControlModifier) || (model->style & LVS_SINGLESEL)) {
    for (Row& r : model->rows) r.selected = false;
    model->rows[static_cast<size_t>(target)].selected = true;
    model->anchor = target;
  }
  model->focused = target;
  ShowRow(target);
  viewport()->update();
}

void ListViewBase::changeEvent(QEvent* e) {
  if (e->type() == QEvent::FontChange && model) {
    model->ForgetWidths();
    GeometryChanged();
    viewport()->update();
  }
  QAbstractScrollArea::changeEvent(e);
}

bool ListView::DrawBackground(QImage& picture) {
  if (!owner) return false;
  QPainter painter(&picture);
  CWnd::Bridge::Erase(owner, painter, viewport(), PaintOffset());
  return true;
}

void ListViewBase::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  viewport()->update();
}

void ListViewBase::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  viewport()->update();
}

}  // namespace platform::listctrl
