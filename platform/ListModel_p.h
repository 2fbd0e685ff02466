// Inside the windowing layer: everything a report list shows, its rows,
// columns and states, with the measured widths and laid-out texts it keeps.
#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "platform/ListCellText_p.h"
#include "platform/WinTypes.h"
#include "platform/WndBridge_p.h"

namespace platform::listctrl {

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

// the width it was last drawn in.
struct ShownText {
  bool converted = false;
  QString text;
  int elidedFor = -1;
  QString elided;
  LaidOutText laidOut;
};

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

inline Qt::Alignment AlignmentOf(int format) {
  switch (format & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT:
      return Qt::AlignRight | Qt::AlignVCenter;
    case LVCFMT_CENTER:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

int TextWidth(const QFont& font, const std::string& text);

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
    if (focused == at)
      focused = -1;
    else if (focused > at)
      --focused;
    if (anchor == at)
      anchor = -1;
    else if (anchor > at)
      --anchor;
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

int RowHeightFor(const QFont& font, const ListModel* model);
int IconWidthOf(const ListModel* model);

}  // namespace platform::listctrl
