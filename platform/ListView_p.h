// Inside the windowing layer: the view of a report list. A scroll area with
// a header over the rows area; the rows are painted here, straight from the
// model, and only where something changed: a row that changes repaints its
// own strip, an inserted or removed row the strips from it down, a column
// whose width changes the area from its left edge. Nothing in it walks the
// rows, so a row costs the same in a list of ten or ten thousand.
#pragma once

#include <QAbstractScrollArea>
#include <QHeaderView>
#include <QImage>
#include <vector>

#include "platform/ListModel_p.h"
#include "platform/WndBridge_p.h"

namespace platform::listctrl {

// The header's size hint comes from the section texts and the font alone,
// not from the section widths, yet Qt measures it again after every width
// change. This header keeps it until the texts, sections or font change.
class ListHeader : public QHeaderView {
 public:
  explicit ListHeader(QWidget* parent);
  void Forget() { m_hint = QSize(); }
  QSize sizeHint() const override;
  void setModel(QAbstractItemModel* model) override;

 protected:
  // Before Qt handles a change (which may reach the viewport first).
  bool event(QEvent* e) override;
  bool viewportEvent(QEvent* e) override;

 private:
  void ForgetOn(const QEvent* e);
  mutable QSize m_hint;
};

// A flat report list with the platform's own selection handling: the rows'
// selected flags and the focused row live in the model.
class ListViewBase : public QAbstractScrollArea {
 public:
  explicit ListViewBase(QWidget* parent = nullptr);
  // Connects the view to its model and header (once, at creation).
  void Attach(ListModel* listModel, ListHeader* listHeader);

  ListModel* model = nullptr;
  QHeaderView* header() const { return m_header; }

  // Brings header and scroll bars up to date with the model now.
  void Sync();
  // Something the rows' geometry depends on changed (row height, font).
  void GeometryChanged();
  // Qt shows or hides the scroll bars through one queued call per range
  // change, which piles up while no event loop runs; the list lays them out
  // itself when asked about its geometry, with one queued call at most.
  void TakeOverScrollBarLayout();

  // The picture under the rows may have changed (or its colour): the kept
  // copy of it, which tells where rows can be scrolled by moving pixels, goes.
  void ForgetBackground();

  int RowHeight() const { return RowHeightFor(font(), model); }
  int TopIndex() const;
  int HorizontalOffset() const;
  int TotalWidth() const;
  // Row under a point in viewport coordinates, -1 when none.
  int RowAtViewport(QPoint p) const;
  void ShowRow(int row);

 protected:
  // Draws the rows area's background as the window erases it into a picture
  // of the rows area's size; false when it cannot.
  virtual bool DrawBackground(QImage& /*picture*/) { return false; }
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent*) override {}
  void mouseReleaseEvent(QMouseEvent*) override {}
  void mouseDoubleClickEvent(QMouseEvent* e) override { mousePressEvent(e); }
  void keyPressEvent(QKeyEvent* e) override;
  void changeEvent(QEvent* e) override;
  // The selection looks different with and without the focus.
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  void UpdateGeometries();
  void QueueGeometry();
  void ScrollRangeChanged();
  void LayOutScrollBars();
  // Marks rows first..last (model rows) for repainting where shown; last -1:
  // down to the bottom of the rows area.
  void UpdateRows(int first, int last);
  void PaintCell(QPainter& painter, const QRect& cell, int row, int column, bool focusHere) const;
  void PaintGridLines(QPainter& painter) const;
  // Scrolls the rows by whole rows (shift > 0: the rows move up) by moving
  // the pixels of each cell whose background is the same at its old and new
  // place, and repainting the others; false when nothing can be moved.
  bool MoveRows(int shift);
  // Left and right edges of the columns in the rows area.
  std::vector<int> ColumnEdges() const;

  // The rows area's background, and for one shift and column layout which
  // cells (slot by column) have the same background as the slot that many
  // rows below (or above).
  QImage m_background;
  struct Moves {
    int shift = 0;
    int rowHeight = 0;
    QSize size;
    std::vector<int> edges;
    std::vector<char> same;  // slot * columns + column
  } m_moves;

  QHeaderView* m_header = nullptr;
  bool m_geometryStale = true;
  bool m_scrollBarsStale = false;
  bool m_layoutQueued = false;
  bool m_inGeometry = false;
};

class ListView : public Bridged<ListViewBase> {
 public:
  using Bridged<ListViewBase>::Bridged;
  void BackgroundChanged() override { ForgetBackground(); }

 protected:
  bool DrawBackground(QImage& picture) override;
};

}  // namespace platform::listctrl
