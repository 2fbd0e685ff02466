#include "platform/ListCtrl.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QTreeView>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/ListScrollBar_p.h"
#include "platform/WndBridge_p.h"

namespace platform {

namespace {

constexpr int kTextPadding = 6;  // on each side of a cell's text
constexpr int kIconGap = 2;
// Rows whose shown texts keep their layouts; past that all are let go and
// the rows painted next lay theirs out again.
constexpr int kMaxLaidOutRows = 512;

struct Column {
  int format = LVCFMT_LEFT;
  std::string text;
  int headerWidth = -1;  // measured header text, -1 until measured
  // Widest cell text of the column. While valid, every cell of the column
  // has its width measured, so fitting the column measures nothing.
  int contentWidth = 0;
  bool contentValid = true;
};

// A cut text laid out once in a font: the glyphs QPainter::drawText would
// shape for it on every paint.
struct LaidOutText {
  QFont font;
  std::shared_ptr<QTextLayout> layout;
  qreal width = 0;
  qreal height = 0;
  qreal advance = 0;
};

// A cell's text as drawn, kept between paints: converted once, and cut to
// the width it was last drawn in.
struct ShownText {
  bool converted = false;
  QString text;
  int elidedFor = -1;
  QString elided;
  LaidOutText laidOut;
};

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

struct Row {
  std::vector<std::string> texts;
  std::vector<int> widths;  // beside texts: measured width, -1 until measured
  std::vector<ShownText> shown;
  bool laidOut = false;  // some of its shown texts keep a layout
  int image = -1;
  LPARAM data = 0;
  int indent = 0;
  bool selected = false;
};

Qt::Alignment AlignmentOf(int format) {
  switch (format & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT: return Qt::AlignRight | Qt::AlignVCenter;
    case LVCFMT_CENTER: return Qt::AlignHCenter | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

int TextWidth(const QFont& font, const std::string& text) {
  return text.empty() ? 0 : QFontMetrics(font).horizontalAdvance(ToQt(text));
}

// Everything the list shows; the view only draws it.
class ListModel : public QAbstractTableModel {
 public:
  const QWidget* fontSource = nullptr;  // texts are measured in its font
  std::vector<Column> columns;
  std::vector<Row> rows;
  int focused = -1;
  int anchor = -1;
  CImageList* smallImages = nullptr;
  CImageList* normalImages = nullptr;
  DWORD extStyle = 0;
  DWORD style = 0;
  COLORREF textBk = RGB(255, 255, 255);
  COLORREF textColor = RGB(0, 0, 0);

  int Count() const { return static_cast<int>(rows.size()); }
  bool ValidRow(int row) const { return row >= 0 && row < Count(); }
  int ColumnCount() const { return static_cast<int>(columns.size()); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : Count(); }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : ColumnCount();
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || !ValidRow(index.row())) return QVariant();
    if (role == Qt::DisplayRole) return ToQt(Text(index.row(), index.column()));
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(FormatOf(index.column())));
    return QVariant();
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount()) return QVariant();
    if (role == Qt::DisplayRole) return ToQt(columns[static_cast<size_t>(section)].text);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(FormatOf(section)));
    return QVariant();
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
  }

  // The first column is always drawn left-aligned, as on the platform.
  int FormatOf(int column) const {
    if (column <= 0 || column >= ColumnCount()) return LVCFMT_LEFT;
    return columns[static_cast<size_t>(column)].format;
  }
  std::string Text(int row, int column) const {
    if (!ValidRow(row) || column < 0) return std::string();
    const Row& r = rows[static_cast<size_t>(row)];
    return column < static_cast<int>(r.texts.size()) ? r.texts[static_cast<size_t>(column)] : std::string();
  }

  int Measure(const std::string& text) const { return fontSource ? TextWidth(fontSource->font(), text) : 0; }

  // Replaces a cell's text and keeps its column's widest text up to date.
  void SetText(Row& r, int column, const std::string& text) {
    const size_t c = static_cast<size_t>(column);
    if (r.texts.size() <= c) {
      r.texts.resize(c + 1);
      r.widths.resize(c + 1, 0);
    }
    r.texts[c] = text;
    if (c < r.shown.size()) r.shown[c] = ShownText();
    const int old = r.widths[c];
    if (column >= ColumnCount() || !columns[c].contentValid) {
      r.widths[c] = -1;  // measured when the column is next fitted
      return;
    }
    Column& col = columns[c];
    const int width = Measure(text);
    r.widths[c] = width;
    if (width >= col.contentWidth)
      col.contentWidth = width;
    else if (old == col.contentWidth)
      col.contentValid = false;  // the widest text got narrower: look again when asked
  }
  // A new row's cells count for their columns' widest texts.
  void MeasureNewRow(Row& r) {
    r.widths.assign(r.texts.size(), -1);
    for (size_t c = 0; c < r.texts.size(); ++c) {
      if (static_cast<int>(c) >= ColumnCount() || !columns[c].contentValid) continue;
      r.widths[c] = Measure(r.texts[c]);
      columns[c].contentWidth = std::max(columns[c].contentWidth, r.widths[c]);
    }
  }
  // Widest cell text of a column, measuring only cells not measured yet.
  int ContentWidth(int column) {
    Column& col = columns[static_cast<size_t>(column)];
    if (!col.contentValid) {
      const size_t c = static_cast<size_t>(column);
      int widest = 0;
      for (Row& r : rows) {
        if (c >= r.texts.size()) continue;
        if (r.widths[c] < 0) r.widths[c] = Measure(r.texts[c]);
        widest = std::max(widest, r.widths[c]);
      }
      col.contentWidth = widest;
      col.contentValid = true;
    }
    return col.contentWidth;
  }
  int HeaderWidth(int column) {
    Column& col = columns[static_cast<size_t>(column)];
    if (col.headerWidth < 0) col.headerWidth = Measure(col.text);
    return col.headerWidth;
  }
  // The font changed: every measured width is stale.
  void ForgetWidths() {
    for (Column& col : columns) {
      col.headerWidth = -1;
      col.contentWidth = 0;
      col.contentValid = false;
    }
    for (Row& r : rows) {
      std::fill(r.widths.begin(), r.widths.end(), -1);
      for (ShownText& shown : r.shown) shown.elidedFor = -1;
    }
  }
  int laidOutRows = 0;
  // A row's texts were drawn from kept layouts.
  void NoteLaidOut(int row) {
    Row& r = rows[static_cast<size_t>(row)];
    if (r.laidOut) return;
    if (laidOutRows >= kMaxLaidOutRows) {
      for (Row& other : rows) {
        if (!other.laidOut) continue;
        for (ShownText& shown : other.shown) shown.laidOut = LaidOutText();
        other.laidOut = false;
      }
      laidOutRows = 0;
    }
    r.laidOut = true;
    ++laidOutRows;
  }
  // The cell's text cut with "..." to the width, in the font; null when the
  // cell has no text.
  ShownText* Shown(int row, int column, int width, const QFont& font) {
    Row& r = rows[static_cast<size_t>(row)];
    const size_t c = static_cast<size_t>(column);
    if (column < 0 || c >= r.texts.size()) return nullptr;
    if (r.shown.size() < r.texts.size()) r.shown.resize(r.texts.size());
    ShownText& shown = r.shown[c];
    if (!shown.converted) {
      shown.text = ToQt(r.texts[c]);
      shown.converted = true;
      shown.elidedFor = -1;
    }
    if (shown.elidedFor != width && !shown.text.isEmpty()) {
      shown.elided = QFontMetrics(font).elidedText(shown.text, Qt::ElideRight, width);
      shown.elidedFor = width;
      shown.laidOut = LaidOutText();
    }
    return shown.text.isEmpty() ? nullptr : &shown;
  }

  void InsertRow(int at, Row row) {
    MeasureNewRow(row);
    beginInsertRows(QModelIndex(), at, at);
    rows.insert(rows.begin() + at, std::move(row));
    if (focused >= at) ++focused;
    if (anchor >= at) ++anchor;
    endInsertRows();
  }
  void RemoveRow(int at) {
    beginRemoveRows(QModelIndex(), at, at);
    const Row& gone = rows[static_cast<size_t>(at)];
    if (gone.laidOut) --laidOutRows;
    for (size_t c = 0; c < gone.widths.size() && c < columns.size(); ++c)
      if (columns[c].contentValid && gone.widths[c] > 0 && gone.widths[c] == columns[c].contentWidth)
        columns[c].contentValid = false;
    rows.erase(rows.begin() + at);
    if (focused == at) focused = -1;
    else if (focused > at) --focused;
    if (anchor == at) anchor = -1;
    else if (anchor > at) --anchor;
    endRemoveRows();
  }
  void Clear() {
    beginResetModel();
    rows.clear();
    laidOutRows = 0;
    for (Column& col : columns) {
      col.contentWidth = 0;
      col.contentValid = true;
    }
    focused = anchor = -1;
    endResetModel();
  }
  void InsertColumn(int at, Column column) {
    beginInsertColumns(QModelIndex(), at, at);
    columns.insert(columns.begin() + at, std::move(column));
    for (Row& r : rows)
      if (at < static_cast<int>(r.texts.size())) {
        r.texts.insert(r.texts.begin() + at, std::string());
        r.widths.insert(r.widths.begin() + at, 0);
        r.shown.clear();
      }
    endInsertColumns();
  }
  void RemoveColumn(int at) {
    beginRemoveColumns(QModelIndex(), at, at);
    columns.erase(columns.begin() + at);
    for (Row& r : rows)
      if (at < static_cast<int>(r.texts.size())) {
        r.texts.erase(r.texts.begin() + at);
        r.widths.erase(r.widths.begin() + at);
        r.shown.clear();
      }
    endRemoveColumns();
  }
  void RowChanged(int row) {
    if (ValidRow(row)) emit dataChanged(index(row, 0), index(row, std::max(0, ColumnCount() - 1)));
  }
  void HeaderChanged(int column) { emit headerDataChanged(Qt::Horizontal, column, column); }
};

int RowHeightFor(const QFont& font, const ListModel* model) {
  int iconHeight = 0;
  if (model && model->smallImages) model->smallImages->GetIconSize(nullptr, &iconHeight);
  return std::max(QFontMetrics(font).height() + 4, iconHeight + 2);
}

int IconWidthOf(const ListModel* model) {
  int cx = 0;
  if (model && model->smallImages) model->smallImages->GetIconSize(&cx, nullptr);
  return cx;
}

class ListDelegate : public QStyledItemDelegate {
 public:
  ListDelegate(ListModel* model, QTreeView* view) : QStyledItemDelegate(view), m_model(model), m_view(view) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& /*index*/) const override {
    return QSize(option.rect.width(), RowHeightFor(m_view->font(), m_model));
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int row = index.row();
    const int column = index.column();
    if (!m_model->ValidRow(row)) return;
    const Row& r = m_model->rows[static_cast<size_t>(row)];
    const QRect cell = option.rect;
    const bool focusHere = m_view->hasFocus();
    const bool fullRow = (m_model->extStyle & LVS_EX_FULLROWSELECT) != 0;
    // Selection shows while the list has the focus (always with LVS_SHOWSELALWAYS).
    const bool showSelection =
        r.selected && (focusHere || (m_model->style & LVS_SHOWSELALWAYS)) && (fullRow || column == 0);
    const QPalette& pal = m_view->palette();
    if (showSelection)
      painter->fillRect(cell, focusHere ? pal.color(QPalette::Highlight) : QColor(0xD4, 0xD0, 0xC8));
    else if (m_model->textBk != CLR_NONE)
      painter->fillRect(cell, ToQColor(m_model->textBk));

    int left = cell.left();
    if (column == 0 && m_model->smallImages) {
      const int iconWidth = IconWidthOf(m_model);
      left += r.indent * iconWidth;
      if (const QImage* image = m_model->smallImages->Image(r.image)) {
        const int top = cell.top() + (cell.height() - image->height()) / 2;
        painter->drawImage(QPoint(left + kIconGap, top), *image);
      }
      left += kIconGap + iconWidth;
    }
    const QRect textRect(left + kTextPadding, cell.top(), std::max(0, cell.right() + 1 - left - 2 * kTextPadding),
                         cell.height());
    if (column >= static_cast<int>(r.texts.size()) || r.texts[static_cast<size_t>(column)].empty() ||
        textRect.width() <= 0)
      return;
    painter->save();
    painter->setFont(m_view->font());
    painter->setPen(showSelection && focusHere ? pal.color(QPalette::HighlightedText) : ToQColor(m_model->textColor));
    if (ShownText* shown = m_model->Shown(row, column, textRect.width(), m_view->font())) {
      m_model->NoteLaidOut(row);
      DrawCellText(painter, textRect, static_cast<int>(AlignmentOf(m_model->FormatOf(column))), shown->elided,
                   shown->laidOut);
    }
    painter->restore();
  }

 private:
  ListModel* m_model;
  QTreeView* m_view;
};

// The tree view as a flat report list with the platform's own selection
// handling: the rows' selected flags and the focused row live in the model.
class ListViewBase : public QTreeView {
 public:
  ListModel* model = nullptr;

  explicit ListViewBase(QWidget* parent = nullptr) : QTreeView(parent) {}

  // Brings rows, header and scroll bars up to date with the model now.
  void Sync() {
    executeDelayedItemsLayout();
    updateGeometries();
    // Showing or hiding a scroll bar resizes the viewport, which may change
    // the ranges again; this settles in two rounds at most.
    for (int round = 0; round < 3 && m_scrollBarsStale; ++round) LayOutScrollBars();
  }

  // Qt shows or hides the scroll bars through one queued call per range
  // change, which piles up while no event loop runs. The list instead lays
  // them out when it is next asked about its geometry, with at most one
  // queued call pending for hosts that ask nothing.
  void TakeOverScrollBarLayout() {
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
      QObject::disconnect(bar, SIGNAL(rangeChanged(int, int)), this, SLOT(_q_showOrHideScrollBars()));
      QObject::connect(bar, &QAbstractSlider::rangeChanged, this, [this] { ScrollRangeChanged(); });
    }
  }
  void ScrollRangeChanged() {
    m_scrollBarsStale = true;
    if (m_layoutQueued) return;
    m_layoutQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          m_layoutQueued = false;
          if (m_scrollBarsStale) LayOutScrollBars();
        },
        Qt::QueuedConnection);
  }
  void LayOutScrollBars() {
    m_scrollBarsStale = false;
    // Setting the policy again lays the scroll bars and the viewport out.
    if (!isVisible()) return;
    setVerticalScrollBarPolicy(verticalScrollBarPolicy());
    // A scroll bar shown again queues repaint requests of its own.
    TakeBackShowRepaints(this);
  }
  int RowHeight() const { return RowHeightFor(font(), model); }
  bool m_scrollBarsStale = false;
  bool m_layoutQueued = false;
  int TopIndex() const { return model->Count() == 0 ? 0 : std::clamp(verticalScrollBar()->value(), 0, model->Count() - 1); }
  int HorizontalOffset() const { return horizontalOffset(); }
  int HeaderHeight() const { return header()->isHidden() ? 0 : viewport()->y(); }
  int TotalWidth() const {
    int width = 0;
    for (int c = 0; c < model->ColumnCount(); ++c) width += header()->sectionSize(c);
    return width;
  }
  // Row under a point in viewport coordinates, -1 when none.
  int RowAtViewport(QPoint p) const {
    if (p.y() < 0 || p.x() + horizontalOffset() < 0 || p.x() + horizontalOffset() >= TotalWidth()) return -1;
    const int row = TopIndex() + p.y() / RowHeight();
    return model->ValidRow(row) ? row : -1;
  }
  void ShowRow(int row) {
    if (!model->ValidRow(row)) return;
    Sync();
    const int top = TopIndex();
    const int perPage = std::max(1, viewport()->height() / RowHeight());
    if (row < top)
      verticalScrollBar()->setValue(row);
    else if (row >= top + perPage)
      verticalScrollBar()->setValue(row - perPage + 1);
  }

 protected:
  void mousePressEvent(QMouseEvent* e) override {
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
  void mouseMoveEvent(QMouseEvent*) override {}
  void mouseReleaseEvent(QMouseEvent*) override {}
  void mouseDoubleClickEvent(QMouseEvent* e) override { mousePressEvent(e); }

  void keyPressEvent(QKeyEvent* e) override {
    const int count = model->Count();
    const int perPage = std::max(1, viewport()->height() / RowHeight());
    int target = model->focused;
    switch (e->key()) {
      case Qt::Key_Up: target = target < 0 ? 0 : target - 1; break;
      case Qt::Key_Down: target = target < 0 ? 0 : target + 1; break;
      case Qt::Key_PageUp: target = target < 0 ? 0 : target - perPage; break;
      case Qt::Key_PageDown: target = target < 0 ? 0 : target + perPage; break;
      case Qt::Key_Home: target = 0; break;
      case Qt::Key_End: target = count - 1; break;
      case Qt::Key_Left: horizontalScrollBar()->setValue(horizontalScrollBar()->value() - 8); return;
      case Qt::Key_Right: horizontalScrollBar()->setValue(horizontalScrollBar()->value() + 8); return;
      default: e->ignore(); return;
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

  void changeEvent(QEvent* e) override {
    if (e->type() == QEvent::FontChange && model) model->ForgetWidths();
    QTreeView::changeEvent(e);
  }

  void paintEvent(QPaintEvent* e) override {
    QTreeView::paintEvent(e);
    if (!(model->extStyle & LVS_EX_GRIDLINES)) return;
    // Grid lines over the whole client area, below the last row too.
    // One-pixel lines, both ends included, filled as rectangles: the same
    // pixels as a one-pixel pen, without stroking every pixel.
    QPainter painter(viewport());
    const QColor grid(0xD0, 0xD0, 0xD0);
    const auto line = [&](QPoint from, QPoint to) {
      FillBanded(&painter,
                 QRect(QPoint(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
                       QPoint(std::max(from.x(), to.x()), std::max(from.y(), to.y()))),
                 grid);
    };
    const int height = viewport()->height();
    const int rowHeight = RowHeight();
    int x = -horizontalOffset();
    for (int c = 0; c < model->ColumnCount(); ++c) {
      x += header()->sectionSize(c);
      line(QPoint(x - 1, 0), QPoint(x - 1, height));
    }
    const int right = std::min(viewport()->width(), x);
    for (int y = rowHeight - 1; y < height; y += rowHeight) line(QPoint(0, y), QPoint(right, y));
  }
};

// The header's size hint comes from the section texts and the font alone,
// not from the section widths, yet Qt measures it again after every width
// change. This header keeps it until the texts, sections or font change.
class ListHeader : public QHeaderView {
 public:
  explicit ListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    connect(this, &QHeaderView::sectionCountChanged, this, [this] { Forget(); });
  }
  void Forget() { m_hint = QSize(); }
  void ForgetOn(const QEvent* e) {
    switch (e->type()) {
      case QEvent::FontChange:
      case QEvent::StyleChange:
      case QEvent::LayoutDirectionChange:
      case QEvent::LocaleChange: Forget(); break;
      default: break;
    }
  }
  QSize sizeHint() const override {
    if (!m_hint.isValid()) m_hint = QHeaderView::sizeHint();
    return m_hint;
  }
  void setModel(QAbstractItemModel* model) override {
    Forget();
    QHeaderView::setModel(model);
    if (!model) return;
    connect(model, &QAbstractItemModel::headerDataChanged, this, [this] { Forget(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { Forget(); });
  }

 protected:
  // Before Qt handles a change (which may reach the viewport first): Qt lays
  // the view out again right away.
  bool event(QEvent* e) override {
    ForgetOn(e);
    return QHeaderView::event(e);
  }
  bool viewportEvent(QEvent* e) override {
    ForgetOn(e);
    return QHeaderView::viewportEvent(e);
  }

 private:
  mutable QSize m_hint;
};

class ListView : public Bridged<ListViewBase> {
 public:
  using Bridged<ListViewBase>::Bridged;
};

}  // namespace

struct CListCtrl::Impl {
  ListView* view = nullptr;
  ListModel* model = nullptr;
};

namespace {
// The live view and model of a list, or null when it has no window.
struct Parts {
  ListView* view;
  ListModel* model;
  explicit operator bool() const { return view && model; }
};
}  // namespace

#define LIST_PARTS(...)                                                                   \
  Parts p{m_impl && m_widget ? m_impl->view : nullptr, m_impl && m_widget ? m_impl->model : nullptr}; \
  if (!p) return __VA_ARGS__

CListCtrl::CListCtrl() : m_impl(new Impl) {}

CListCtrl::~CListCtrl() {
  if (GetSafeHwnd()) DestroyWindow();
  delete m_impl;
}

BOOL CListCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  if (GetSafeHwnd()) return FALSE;
  auto* view = new ListView();
  // As the view's own header, with the size hint kept.
  auto* header = new ListHeader(view);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  view->setHeader(header);
  auto* model = new ListModel();
  model->setParent(view);
  model->style = dwStyle;
  model->fontSource = view;
  view->model = model;
  view->setModel(model);
  view->setItemDelegate(new ListDelegate(model, view));
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setIndentation(0);
  view->setUniformRowHeights(true);
  view->setAllColumnsShowFocus(true);
  view->setSelectionMode(QAbstractItemView::NoSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setFrameShape(QFrame::NoFrame);
  view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  view->setFocusPolicy(Qt::StrongFocus);
  view->setAutoFillBackground(false);
  view->viewport()->setAutoFillBackground(false);
  // The rows area paints every pixel itself (its background, then the rows),
  // so nothing under it needs painting first.
  view->viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  view->header()->setStretchLastSection(false);
  view->header()->setMinimumSectionSize(0);
  view->header()->setSectionsMovable(false);
  view->header()->setSectionsClickable(false);
  view->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  if (dwStyle & LVS_NOCOLUMNHEADER) view->header()->hide();
  header->Forget();
  view->setVerticalScrollBar(new ListScrollBar(Qt::Vertical));
  view->setHorizontalScrollBar(new ListScrollBar(Qt::Horizontal));
  view->TakeOverScrollBarLayout();
  // The platform reports scrolling before it happens.
  QObject::connect(view->verticalScrollBar(), &QAbstractSlider::actionTriggered, view, [view](int action) {
    if (view->owner) CWnd::Bridge::Scroll(view->owner, true, action, view->verticalScrollBar()->sliderPosition());
  });
  QObject::connect(view->horizontalScrollBar(), &QAbstractSlider::actionTriggered, view, [view](int action) {
    if (view->owner) CWnd::Bridge::Scroll(view->owner, false, action, view->horizontalScrollBar()->sliderPosition());
  });
  m_impl->view = view;
  m_impl->model = model;
  if (!CreateOver(view, dwStyle, rect, pParentWnd, nID)) {
    m_impl->view = nullptr;
    m_impl->model = nullptr;
    return FALSE;
  }
  return TRUE;
}

DWORD CListCtrl::SetExtendedStyle(DWORD dwNewStyle) {
  LIST_PARTS(0);
  const DWORD old = p.model->extStyle;
  p.model->extStyle = dwNewStyle;
  p.view->viewport()->update();
  return old;
}

DWORD CListCtrl::GetExtendedStyle() const {
  LIST_PARTS(0);
  return p.model->extStyle;
}

BOOL CListCtrl::SetTextBkColor(COLORREF cr) {
  LIST_PARTS(FALSE);
  p.model->textBk = cr;
  p.view->viewport()->update();
  return TRUE;
}

COLORREF CListCtrl::GetTextBkColor() const {
  LIST_PARTS(CLR_NONE);
  return p.model->textBk;
}

BOOL CListCtrl::SetTextColor(COLORREF cr) {
  LIST_PARTS(FALSE);
  p.model->textColor = cr;
  p.view->viewport()->update();
  return TRUE;
}

CImageList* CListCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
  LIST_PARTS(nullptr);
  CImageList*& slot = nImageListType == LVSIL_SMALL ? p.model->smallImages : p.model->normalImages;
  CImageList* old = slot;
  slot = pImageList;
  // Row heights follow the image height.
  p.view->doItemsLayout();
  p.view->viewport()->update();
  return old;
}

CImageList* CListCtrl::GetImageList(int nImageListType) const {
  LIST_PARTS(nullptr);
  return nImageListType == LVSIL_SMALL ? p.model->smallImages : p.model->normalImages;
}

int CListCtrl::InsertColumn(int nCol, const std::string& lpszColumnHeading, int nFormat, int nWidth, int /*nSubItem*/) {
  LIST_PARTS(-1);
  if (nCol < 0) return -1;
  nCol = std::min(nCol, p.model->ColumnCount());
  p.model->InsertColumn(nCol, Column{nFormat & LVCFMT_JUSTIFYMASK, lpszColumnHeading});
  const int width = nWidth >= 0 ? nWidth : GetStringWidth(lpszColumnHeading) + 2 * kTextPadding;
  p.view->header()->resizeSection(nCol, width);
  p.view->viewport()->update();
  return nCol;
}

BOOL CListCtrl::DeleteColumn(int nCol) {
  LIST_PARTS(FALSE);
  if (nCol < 0 || nCol >= p.model->ColumnCount()) return FALSE;
  p.model->RemoveColumn(nCol);
  p.view->viewport()->update();
  return TRUE;
}

BOOL CListCtrl::GetColumn(int nCol, int* pFormat, int* pWidth, std::string* pText) const {
  LIST_PARTS(FALSE);
  if (nCol < 0 || nCol >= p.model->ColumnCount()) return FALSE;
  const Column& c = p.model->columns[static_cast<size_t>(nCol)];
  if (pFormat) *pFormat = c.format;
  if (pWidth) *pWidth = p.view->header()->sectionSize(nCol);
  if (pText) *pText = c.text;
  return TRUE;
}

BOOL CListCtrl::SetColumnText(int nCol, const std::string& text) {
  LIST_PARTS(FALSE);
  if (nCol < 0 || nCol >= p.model->ColumnCount()) return FALSE;
  p.model->columns[static_cast<size_t>(nCol)].text = text;
  p.model->columns[static_cast<size_t>(nCol)].headerWidth = -1;
  p.model->HeaderChanged(nCol);
  return TRUE;
}

int CListCtrl::GetColumnCount() const {
  LIST_PARTS(0);
  return p.model->ColumnCount();
}

BOOL CListCtrl::SetColumnWidth(int nCol, int cx) {
  LIST_PARTS(FALSE);
  if (nCol < 0 || nCol >= p.model->ColumnCount() || cx < LVSCW_AUTOSIZE_USEHEADER) return FALSE;
  int width = cx;
  if (cx == LVSCW_AUTOSIZE || cx == LVSCW_AUTOSIZE_USEHEADER) {
    int content = p.model->ContentWidth(nCol) + 2 * kTextPadding;
    if (nCol == 0 && p.model->smallImages) content += kIconGap + IconWidthOf(p.model);
    width = content;
    if (cx == LVSCW_AUTOSIZE_USEHEADER) {
      width = std::max(content, p.model->HeaderWidth(nCol) + 2 * kTextPadding);
      // The last column also takes what is left of the client width.
      if (nCol == p.model->ColumnCount() - 1) {
        p.view->Sync();
        int others = 0;
        for (int c = 0; c < nCol; ++c) others += p.view->header()->sectionSize(c);
        width = std::max(width, p.view->viewport()->width() - others);
      }
    }
  }
  p.view->header()->resizeSection(nCol, width);
  p.view->viewport()->update();
  return TRUE;
}

int CListCtrl::GetColumnWidth(int nCol) const {
  LIST_PARTS(0);
  if (nCol < 0 || nCol >= p.model->ColumnCount()) return 0;
  return p.view->header()->sectionSize(nCol);
}

int CListCtrl::GetItemCount() const {
  LIST_PARTS(0);
  return p.model->Count();
}

int CListCtrl::InsertItem(int nItem, const std::string& lpszItem, int nImage) {
  LVITEM item;
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = nItem;
  std::string text = lpszItem;
  item.pszText = text.data();
  item.iImage = nImage;
  return InsertItem(&item);
}

int CListCtrl::InsertItem(const LVITEM* pItem) {
  LIST_PARTS(-1);
  if (!pItem || pItem->iItem < 0 || pItem->iSubItem != 0) return -1;
  const int at = std::min(pItem->iItem, p.model->Count());
  Row row;
  row.texts.resize(std::max<size_t>(1, p.model->columns.size()));
  if ((pItem->mask & LVIF_TEXT) && pItem->pszText) row.texts[0] = pItem->pszText;
  if (pItem->mask & LVIF_IMAGE) row.image = pItem->iImage;
  if (pItem->mask & LVIF_PARAM) row.data = pItem->lParam;
  if (pItem->mask & LVIF_INDENT) row.indent = std::max(0, pItem->iIndent);
  p.model->InsertRow(at, std::move(row));
  if (pItem->mask & LVIF_STATE) SetItemState(at, pItem->state, pItem->stateMask);
  return at;
}

BOOL CListCtrl::SetItem(int nItem, int nSubItem, UINT nMask, const std::string& lpszItem, int nImage, UINT nState,
                        UINT nStateMask, LPARAM lParam, int nIndent) {
  LVITEM item;
  item.mask = nMask;
  item.iItem = nItem;
  item.iSubItem = nSubItem;
  std::string text = lpszItem;
  item.pszText = text.data();
  item.iImage = nImage;
  item.state = nState;
  item.stateMask = nStateMask;
  item.lParam = lParam;
  item.iIndent = nIndent;
  return SetItem(&item);
}

BOOL CListCtrl::SetItem(const LVITEM* pItem) {
  LIST_PARTS(FALSE);
  if (!pItem || !p.model->ValidRow(pItem->iItem)) return FALSE;
  const int sub = pItem->iSubItem;
  // Sub-items exist as far as the columns go; row properties belong to item 0.
  if (sub < 0 || (sub > 0 && sub >= p.model->ColumnCount())) return FALSE;
  if (sub > 0 && (pItem->mask & ~LVIF_TEXT)) return FALSE;
  Row& row = p.model->rows[static_cast<size_t>(pItem->iItem)];
  if ((pItem->mask & LVIF_TEXT) && pItem->pszText) {
    p.model->SetText(row, sub, pItem->pszText);
  }
  if (pItem->mask & LVIF_IMAGE) row.image = pItem->iImage;
  if (pItem->mask & LVIF_PARAM) row.data = pItem->lParam;
  if (pItem->mask & LVIF_INDENT) row.indent = std::max(0, pItem->iIndent);
  p.model->RowChanged(pItem->iItem);
  if (pItem->mask & LVIF_STATE) SetItemState(pItem->iItem, pItem->state, pItem->stateMask);
  p.view->viewport()->update();
  return TRUE;
}

BOOL CListCtrl::GetItem(LVITEM* pItem) const {
  LIST_PARTS(FALSE);
  if (!pItem || !p.model->ValidRow(pItem->iItem) || pItem->iSubItem < 0) return FALSE;
  const Row& row = p.model->rows[static_cast<size_t>(pItem->iItem)];
  if ((pItem->mask & LVIF_TEXT) && pItem->pszText && pItem->cchTextMax > 0) {
    const std::string text = p.model->Text(pItem->iItem, pItem->iSubItem);
    const size_t n = std::min(text.size(), static_cast<size_t>(pItem->cchTextMax - 1));
    std::memcpy(pItem->pszText, text.data(), n);
    pItem->pszText[n] = '\0';
  }
  if (pItem->mask & LVIF_IMAGE) pItem->iImage = row.image;
  if (pItem->mask & LVIF_PARAM) pItem->lParam = row.data;
  if (pItem->mask & LVIF_INDENT) pItem->iIndent = row.indent;
  if (pItem->mask & LVIF_STATE) pItem->state = GetItemState(pItem->iItem, pItem->stateMask);
  return TRUE;
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const std::string& lpszText) {
  return SetItem(nItem, nSubItem, LVIF_TEXT, lpszText, 0, 0, 0, 0);
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const {
  LIST_PARTS(std::string());
  return p.model->Text(nItem, nSubItem);
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const {
  LIST_PARTS(0);
  if (!p.model->ValidRow(nItem)) return 0;
  return static_cast<DWORD_PTR>(p.model->rows[static_cast<size_t>(nItem)].data);
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData) {
  LIST_PARTS(FALSE);
  if (!p.model->ValidRow(nItem)) return FALSE;
  p.model->rows[static_cast<size_t>(nItem)].data = static_cast<LPARAM>(dwData);
  return TRUE;
}

int CListCtrl::GetItemImage(int nItem) const {
  LIST_PARTS(-1);
  if (!p.model->ValidRow(nItem)) return -1;
  return p.model->rows[static_cast<size_t>(nItem)].image;
}

BOOL CListCtrl::SetItemImage(int nItem, int nImage) { return SetItem(nItem, 0, LVIF_IMAGE, std::string(), nImage, 0, 0, 0); }

int CListCtrl::GetItemIndent(int nItem) const {
  LIST_PARTS(0);
  if (!p.model->ValidRow(nItem)) return 0;
  return p.model->rows[static_cast<size_t>(nItem)].indent;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
  LIST_PARTS(FALSE);
  if (nItem != -1 && !p.model->ValidRow(nItem)) return FALSE;
  // -1: every row.
  const int first = nItem == -1 ? 0 : nItem;
  const int last = nItem == -1 ? p.model->Count() - 1 : nItem;
  for (int i = first; i <= last; ++i) {
    if (nMask & LVIS_SELECTED) p.model->rows[static_cast<size_t>(i)].selected = (nState & LVIS_SELECTED) != 0;
    if (nMask & LVIS_FOCUSED) {
      if (nState & LVIS_FOCUSED)
        p.model->focused = i;
      else if (p.model->focused == i)
        p.model->focused = -1;
    }
  }
  p.view->viewport()->update();
  return TRUE;
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const {
  LIST_PARTS(0);
  if (!p.model->ValidRow(nItem)) return 0;
  UINT state = 0;
  if (p.model->rows[static_cast<size_t>(nItem)].selected) state |= LVIS_SELECTED;
  if (p.model->focused == nItem) state |= LVIS_FOCUSED;
  return state & nMask;
}

int CListCtrl::GetNextItem(int nItem, int nFlags) const {
  LIST_PARTS(-1);
  UINT wanted = 0;
  if (nFlags & LVNI_SELECTED) wanted |= LVIS_SELECTED;
  if (nFlags & LVNI_FOCUSED) wanted |= LVIS_FOCUSED;
  const auto matches = [&](int i) { return (GetItemState(i, wanted) & wanted) == wanted; };
  if (nFlags & LVNI_ABOVE) {
    for (int i = nItem - 1; i >= 0; --i)
      if (matches(i)) return i;
    return -1;
  }
  for (int i = std::max(0, nItem + 1); i < p.model->Count(); ++i)
    if (matches(i)) return i;
  return -1;
}

UINT CListCtrl::GetSelectedCount() const {
  LIST_PARTS(0);
  UINT count = 0;
  for (const Row& r : p.model->rows) count += r.selected ? 1 : 0;
  return count;
}

BOOL CListCtrl::DeleteItem(int nItem) {
  LIST_PARTS(FALSE);
  if (!p.model->ValidRow(nItem)) return FALSE;
  p.model->RemoveRow(nItem);
  p.view->viewport()->update();
  return TRUE;
}

BOOL CListCtrl::DeleteAllItems() {
  LIST_PARTS(FALSE);
  p.model->Clear();
  p.view->viewport()->update();
  return TRUE;
}

BOOL CListCtrl::EnsureVisible(int nItem, BOOL bPartialOK) {
  LIST_PARTS(FALSE);
  if (!p.model->ValidRow(nItem)) return FALSE;
  p.view->Sync();
  const int top = p.view->TopIndex();
  const int rowHeight = p.view->RowHeight();
  const int height = p.view->viewport()->height();
  const int perPage = height / rowHeight;
  const bool partlyShown = nItem == top + perPage && height % rowHeight != 0;
  if (nItem >= top && (nItem < top + perPage || (bPartialOK && partlyShown))) return TRUE;
  p.view->ShowRow(nItem);
  return TRUE;
}

int CListCtrl::GetTopIndex() const {
  LIST_PARTS(0);
  p.view->Sync();
  return p.view->TopIndex();
}

int CListCtrl::GetCountPerPage() const {
  LIST_PARTS(0);
  p.view->Sync();
  return p.view->viewport()->height() / p.view->RowHeight();
}

int CListCtrl::GetRowHeight() const {
  LIST_PARTS(0);
  return p.view->RowHeight();
}

BOOL CListCtrl::GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const {
  LIST_PARTS(FALSE);
  if (!lpRect || !p.model->ValidRow(nItem)) return FALSE;
  p.view->Sync();
  const int rowHeight = p.view->RowHeight();
  const int top = p.view->viewport()->y() + (nItem - p.view->TopIndex()) * rowHeight;
  const int left = -p.view->HorizontalOffset();
  const int iconWidth = p.model->smallImages ? IconWidthOf(p.model) : 0;
  const int column0 = p.model->ColumnCount() > 0 ? p.view->header()->sectionSize(0) : 0;
  switch (nCode) {
    case LVIR_BOUNDS: *lpRect = RECT{left, top, left + p.view->TotalWidth(), top + rowHeight}; break;
    case LVIR_ICON: *lpRect = RECT{left, top, left + (iconWidth ? kIconGap + iconWidth : 0), top + rowHeight}; break;
    case LVIR_LABEL: *lpRect = RECT{left + (iconWidth ? kIconGap + iconWidth : 0), top, left + column0, top + rowHeight}; break;
    default: return FALSE;
  }
  return TRUE;
}

BOOL CListCtrl::GetSubItemRect(int iItem, int iSubItem, int nArea, RECT& ref) const {
  LIST_PARTS(FALSE);
  if (iSubItem < 0 || iSubItem >= p.model->ColumnCount()) return FALSE;
  RECT bounds;
  if (!GetItemRect(iItem, &bounds, LVIR_BOUNDS)) return FALSE;
  if (iSubItem == 0) return GetItemRect(iItem, &ref, nArea == static_cast<int>(LVIR_BOUNDS) ? LVIR_LABEL : nArea);
  int left = bounds.left;
  for (int c = 0; c < iSubItem; ++c) left += p.view->header()->sectionSize(c);
  ref = RECT{left, bounds.top, left + p.view->header()->sectionSize(iSubItem), bounds.bottom};
  return TRUE;
}

BOOL CListCtrl::Scroll(CSize size) {
  LIST_PARTS(FALSE);
  p.view->Sync();
  if (size.cx) p.view->horizontalScrollBar()->setValue(p.view->horizontalScrollBar()->value() + size.cx);
  if (size.cy) p.view->verticalScrollBar()->setValue(p.view->verticalScrollBar()->value() + size.cy / p.view->RowHeight());
  return TRUE;
}

int CListCtrl::GetScrollPos(int nBar) const {
  LIST_PARTS(0);
  p.view->Sync();
  return nBar == 0 ? p.view->horizontalScrollBar()->value() : p.view->verticalScrollBar()->value();
}

int CListCtrl::GetStringWidth(const std::string& lpsz) const {
  LIST_PARTS(0);
  return TextWidth(p.view->font(), lpsz);
}

int CListCtrl::HitTest(CPoint pt, UINT* pFlags) const {
  if (pFlags) *pFlags = LVHT_NOWHERE;
  LIST_PARTS(-1);
  p.view->Sync();
  const int row = p.view->RowAtViewport(QPoint(pt.x, pt.y) - p.view->viewport()->pos());
  if (row >= 0 && pFlags) *pFlags = LVHT_ONITEMLABEL;
  return row;
}

BOOL CListCtrl::EditLabel(int nItem) {
  LIST_PARTS(FALSE);
  if (!p.model->ValidRow(nItem)) return FALSE;
  NMLVDISPINFO info;
  info.hdr.hwndFrom = GetSafeHwnd();
  info.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
  info.hdr.code = LVN_BEGINLABELEDIT;
  info.item.mask = LVIF_TEXT;
  info.item.iItem = nItem;
  std::string text = p.model->Text(nItem, 0);
  info.item.pszText = text.data();
  info.item.cchTextMax = static_cast<int>(text.size()) + 1;
  // The notification goes to the parent, which reflects it back here.
  CWnd* target = GetParent() ? GetParent() : this;
  const LRESULT refused = target->SendMessage(WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
  return refused ? FALSE : TRUE;
}

BOOL CListCtrl::OnEraseBkgnd(CDC* pDC) {
  LIST_PARTS(CWnd::OnEraseBkgnd(pDC));
  // The list's own background: its text background colour, white when none.
  RECT client;
  GetClientRect(&client);
  pDC->FillSolidRect(&client, p.model->textBk == CLR_NONE ? RGB(255, 255, 255) : p.model->textBk);
  return TRUE;
}

RECT CListCtrl::ClientArea() const {
  if (!m_impl || !m_impl->view || !m_widget) return CWnd::ClientArea();
  m_impl->view->Sync();
  const QRect vp = m_impl->view->viewport()->geometry();
  return RECT{0, 0, vp.x() + vp.width(), vp.y() + vp.height()};
}

}  // namespace platform
