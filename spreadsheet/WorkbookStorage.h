// A sheet kept as a worksheet of an .xls workbook, reached through the
// database front and its Excel driver. The workbook stays locked against other
// processes for the storage's whole life, so that load, change and commit of
// two processes never interleave. Load reads the header and the row count; the
// other rows are read from the worksheet when something first needs them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "spreadsheet/SheetStorage.h"

namespace spreadsheet {

class CDatabase;
class FileLock;

class WorkbookStorage : public SheetStorage {
 public:
  // Locks the workbook and finds the driver; throws CDBException when
  // the workbook is held by another process for too long.
  WorkbookStorage(SheetContents& sheet, std::string& lastError, const std::string& file, const std::string& sheetName);
  ~WorkbookStorage() override;

  // A failure to connect throws CDBException; a missing sheet is false.
  bool Load() override;
  bool Commit() override;
  // The copy is a sheet of its own in the same workbook, written only once.
  bool WriteBackup() override;
  bool EnsureRows() override;
  bool EnsureRow(int32_t row) override;
  void ChangeStoredRow(int32_t row) override;
  bool DeleteOwnSheet(bool inTransaction) override;
  bool DeleteSheet(const std::string& sheetName, bool inTransaction) override;
  bool ReplaceRows(const std::vector<std::string>& newValues, const std::vector<std::string>& oldValues) override;

  bool ColumnsNamedByHeader() const override { return true; }
  int32_t MaxRows() const override;
  const char* BlankCell() const override { return " "; }
  const char* OtherKindExtension() const override { return ".csv"; }

 private:
  void FindExcelDriver();
  void OpenConnection();
  void ReadUnreadRows();
  // Runs a step against the workbook; its failure becomes the sheet's error
  // text (m_strLastError) and false.
  template <typename Step>
  bool Recorded(Step&& step);

  std::string m_strSelect;
  std::string m_strConnect;
  std::string m_strSheetName;
  std::string m_strDriver;
  std::unique_ptr<CDatabase> m_pDatabase;
  std::unique_ptr<FileLock> m_pLock;
  // Rows 1 .. m_nStoredRows are what the stored worksheet holds; while none of
  // them has changed, a commit only appends the rows after them.
  int32_t m_nStoredRows = 0;
  bool m_bStoredIntact = false;
  // Rows 2 .. m_nUnreadEnd are read from the worksheet only when something
  // needs them (until then they are empty texts): an append needs no more
  // than the header and the row count. The worksheet stays locked, so they are
  // still there when read.
  int32_t m_nUnreadEnd = 0;
  int16_t m_nUnreadColumns = 0;
};

}  // namespace spreadsheet
