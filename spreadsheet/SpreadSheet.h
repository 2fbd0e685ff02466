// Row-and-cell access to one sheet of tabular data held in memory: either a
// worksheet of an .xls workbook (through the database layer and its Excel
// driver) or a delimited text file (any other file name). The stored sheet is
// read at construction (a worksheet's rows below the header on first use) and
// written back by Commit; outside a
// transaction every change commits at once. Texts are GBK; lengths and
// positions count bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class CDatabase;
class CRecordset;
class FileLock;
}  // namespace platform

class CSpreadSheet {
 public:
  // File path (GBK); the sheet name for a workbook (a path ending in ".xls",
  // any letter case) or the separator for a delimited file; whether to back the
  // stored sheet up once it has been loaded. A workbook that cannot be reached
  // (no driver, a file the driver cannot open, held by another process for too
  // long) raises platform::CDBException.
  CSpreadSheet(const std::string& File, const std::string& SheetOrSeparator, bool Backup = true);
  virtual ~CSpreadSheet();
  CSpreadSheet(const CSpreadSheet&) = delete;
  CSpreadSheet& operator=(const CSpreadSheet&) = delete;

  // Header row.
  bool AddHeaders(const std::vector<std::string>& FieldNames, bool replace = false);
  void GetFieldNames(std::vector<std::string>& FieldNames);

  // Rows are numbered from 1 (the header row); columns from 1. Row 0 means the
  // current row for reads and a new last row for writes.
  bool AddRow(const std::vector<std::string>& RowValues, int32_t row = 0, bool replace = false);
  bool AddCell(const std::string& CellValue, int16_t column, int32_t row = 0);
  bool AddCell(const std::string& CellValue, const std::string& column, int32_t row = 0, bool Auto = true);
  bool ReadRow(std::vector<std::string>& RowValues, int32_t row = 0);
  bool ReadColumn(std::vector<std::string>& ColumnValues, int16_t column);
  bool ReadColumn(std::vector<std::string>& ColumnValues, const std::string& column, bool Auto = true);
  bool ReadCell(std::string& CellValue, int16_t column, int32_t row = 0);
  bool ReadCell(std::string& CellValue, const std::string& column, int32_t row = 0, bool Auto = true);

  bool DeleteSheet();
  bool DeleteSheet(const std::string& SheetName);
  // Workbook only: UPDATE of the stored rows that hold OldRowValues.
  bool ReplaceRows(const std::vector<std::string>& NewRowValues, const std::vector<std::string>& OldRowValues);
  // Copies the sheet into a file of the other kind beside this one (same name,
  // ".csv" for a workbook, ".xls" for a delimited file).
  bool ConvertFormat(const std::string& SheetOrSeparator);

  void BeginTransaction();
  bool Commit();
  bool RollBack();

  int16_t GetTotalColumns() const { return m_nTotalColumns; }
  int32_t GetTotalRows() const { return m_nTotalRows; }
  int32_t GetCurrentRow() const { return m_nCurrentRow; }
  bool IsExisting() const { return m_bExisting; }
  bool IsBackupKept() const { return m_bBackup; }
  bool IsWorkbook() const { return m_bExcel; }

  // Message of the last failure; operations set it and never clear it.
  std::string m_strLastError;

 private:
  bool Load();
  bool LoadWorkbook();
  bool LoadDelimited();
  void ReadUnreadRows();
  bool EnsureRows();
  bool EnsureRow(int32_t row);
  bool CommitWorkbook();
  bool CommitDelimited();
  void FindExcelDriver();
  void OpenConnection();
  int16_t ColumnNumber(const std::string& column, bool Auto);
  bool RefuseNegativeRow(int32_t row);
  bool RefuseRowToWrite(int32_t row);
  bool RefuseBadColumn(int16_t column);
  bool FindDuplicate(const std::vector<std::string>& values, std::string& duplicate) const;
  std::string RowText(const std::vector<std::string>& values) const;
  std::vector<std::string> Split(const std::string& rowText) const;
  std::string BlankRow() const;
  void WidenTo(std::size_t columns);
  void ChangeStoredRow(int32_t row);

  bool m_bExisting = false;
  bool m_bBackup;
  bool m_bExcel = false;
  bool m_bInTransaction = false;
  int32_t m_nCurrentRow = 1;
  int32_t m_nTotalRows = 0;
  int16_t m_nTotalColumns = 0;
  std::string m_strSelect;
  std::string m_strConnect;
  std::string m_strSheetName;
  std::string m_strDriver;
  std::string m_strFile;
  std::string m_strSeparator;
  std::vector<std::string> m_aFieldNames;
  std::vector<std::string> m_aRows;
  std::unique_ptr<platform::CDatabase> m_pDatabase;
  platform::CRecordset* m_pRecordset = nullptr;
  // A workbook stays locked against other processes from construction to
  // destruction, so that load, change and commit of two processes never
  // interleave.
  std::unique_ptr<platform::FileLock> m_pLock;
  // Rows 1 .. m_nStoredRows are what the stored worksheet holds; while none of
  // them has changed, a commit only appends the rows after them.
  int32_t m_nStoredRows = 0;
  bool m_bStoredIntact = false;
  // A workbook's rows 2 .. m_nUnreadEnd are read from the worksheet only when
  // something needs them (until then they are empty texts): an append needs
  // no more than the header and the row count. The worksheet stays locked, so
  // they are still there when read.
  int32_t m_nUnreadEnd = 0;
  int16_t m_nUnreadColumns = 0;
};
