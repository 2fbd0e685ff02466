// Stores a result list's columns and rows into a checked archive file, or
// loads them back in front of what the list already holds.
#pragma once

#include <cstdint>
#include <string>

namespace platform {
class CListCtrl;
}

// What the archive needs of a list. The list control is one implementation;
// keeping the routine on this interface lets it run on plain data too.
class ListContentsAccess {
 public:
  virtual ~ListContentsAccess() = default;
  // False when the list has no column at that index.
  virtual bool GetColumn(int index, int* format, int* width, std::string* text) const = 0;
  virtual void InsertColumn(int index, int format, int width, const std::string& text) = 0;
  virtual int GetRowCount() const = 0;
  virtual std::string GetCellText(int row, int column) const = 0;
  virtual void InsertRow(int row) = 0;  // with an empty text
  virtual void SetCellText(int row, int column, const std::string& text) = 0;
  virtual uint32_t GetRowData(int row) const = 0;
  virtual void SetRowData(int row, uint32_t data) = 0;
};

// The header text that opens every stored list.
inline constexpr const char kListArchiveHeader[] = "ListCtrl - StoreObject";

// store true: writes the list to path. store false: loads path into the list.
// True also when the file cannot be opened, its header is wrong or its check
// sum fails (the list is then unchanged); false when reading or writing fails
// part way (the list keeps what was inserted before the failure).
bool StoreListContents(ListContentsAccess& list, const std::string& path, bool store);
bool StoreListContents(platform::CListCtrl& list, const std::string& path, bool store);
