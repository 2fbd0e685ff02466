// Where CSpreadSheet keeps its sheet between loads and commits: a worksheet of
// an .xls workbook or a delimited text file. An implementation works on the
// accessor's SheetContents and leaves its failures in the accessor's last-error
// text; both are given at construction and outlive it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace spreadsheet {

struct SheetContents;

class SheetStorage {
 public:
  SheetStorage(SheetContents& sheet, std::string& lastError) : m_sheet(sheet), m_strLastError(lastError) {}
  virtual ~SheetStorage() = default;
  SheetStorage(const SheetStorage&) = delete;
  SheetStorage& operator=(const SheetStorage&) = delete;

  // Replaces the contents with the stored sheet; false when there is none to
  // read.
  virtual bool Load() = 0;
  // Writes the contents over the stored sheet.
  virtual bool Commit() = 0;
  // Copies the freshly loaded sheet once beside itself; false when the copy
  // could not be written (also when an earlier copy is there to keep).
  virtual bool WriteBackup() = 0;

  // Rows may be held before their texts are read; these read them when a
  // caller needs them (all rows, or the given row).
  virtual bool EnsureRows() { return true; }
  virtual bool EnsureRow(int32_t) { return true; }
  // Called before a held row is replaced or moved.
  virtual void ChangeStoredRow(int32_t) {}

  // Removes the accessor's own sheet, or the named one. Outside a transaction
  // the removal is committed at once.
  virtual bool DeleteOwnSheet(bool inTransaction) = 0;
  virtual bool DeleteSheet(const std::string& sheetName, bool inTransaction) = 0;
  // Changes the stored rows that hold oldValues to newValues.
  virtual bool ReplaceRows(const std::vector<std::string>& newValues, const std::vector<std::string>& oldValues) = 0;

  // The columns are the header's named fields: header names are unique, a new
  // header is never narrower than the old one, a row needs a header first and
  // is never wider than it. Otherwise rows may have any width.
  virtual bool ColumnsNamedByHeader() const = 0;
  // The last row the storage can hold.
  virtual int32_t MaxRows() const = 0;
  // The text of a cell made up to fill a row.
  virtual const char* BlankCell() const = 0;
  // The extension of a file of the other kind, for a copy into it.
  virtual const char* OtherKindExtension() const = 0;

 protected:
  SheetContents& m_sheet;
  std::string& m_strLastError;
};

}  // namespace spreadsheet
