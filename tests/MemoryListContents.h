// A list held in plain memory, for driving the list archive without a window.
#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "monitor/ListContentsArchive.h"

struct MemoryColumn {
  int format = 0;
  int width = 0;
  std::string text;
  bool operator==(const MemoryColumn&) const = default;
};

struct MemoryRow {
  std::vector<std::string> cells;
  uint32_t data = 0;
  bool operator==(const MemoryRow&) const = default;
};

class MemoryListContents : public ListContentsAccess {
 public:
  std::vector<MemoryColumn> columns;
  std::vector<MemoryRow> rows;

  bool operator==(const MemoryListContents& other) const { return columns == other.columns && rows == other.rows; }

  bool GetColumn(int index, int* format, int* width, std::string* text) const override {
    if (index < 0 || index >= static_cast<int>(columns.size())) return false;
    std::tie(*format, *width, *text) = std::tie(columns[index].format, columns[index].width, columns[index].text);
    return true;
  }
  void InsertColumn(int index, int format, int width, const std::string& text) override {
    columns.insert(columns.begin() + index, MemoryColumn{format, width, text});
    for (MemoryRow& row : rows) row.cells.insert(row.cells.begin() + index, std::string());
  }
  int GetRowCount() const override { return static_cast<int>(rows.size()); }
  std::string GetCellText(int row, int column) const override { return rows[row].cells.at(column); }
  void InsertRow(int row) override {
    rows.insert(rows.begin() + row, MemoryRow{std::vector<std::string>(columns.size()), 0});
  }
  void SetCellText(int row, int column, const std::string& text) override { rows[row].cells[column] = text; }
  uint32_t GetRowData(int row) const override { return rows[row].data; }
  void SetRowData(int row, uint32_t data) override { rows[row].data = data; }
};
