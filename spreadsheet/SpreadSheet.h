// Row-and-cell access to one sheet of tabular data held in memory: either a
// worksheet of an .xls workbook (through the database layer and its Excel
// driver) or a delimited text file (any other file name); the file name picks
// the storage (WorkbookStorage.h, DelimitedStorage.h) once. The stored sheet is
// read at construction (a worksheet's rows below the header on first use) and
// written back by Commit; outside a transaction every change commits at once. Texts are GBK; lengths and
// positions count bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace spreadsheet {
struct SheetContents;
class SheetStorage;
}  // namespace spreadsheet

class CSpreadSheet {
 public:
  // File path (GBK); the sheet name for a workbook (a path ending in ".xls",
  // any letter case) or the separator for a delimited file; whether to back the
  // stored sheet up once it has been loaded. A workbook that cannot be reached
  // (no driver, a file the driver cannot open, held by another process for too
  // long) raises spreadsheet::CDBException.
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

  int16_t GetTotalColumns() const;
  int32_t GetTotalRows() const;
  int32_t GetCurrentRow() const;
  bool IsExisting() const;
  bool IsBackupKept() const { return m_bBackup; }
  bool IsWorkbook() const { return m_bExcel; }

  // Message of the last failure; operations set it and never clear it.
  std::string m_strLastError;

 private:
  bool Load();
  int16_t ColumnNumber(const std::string& column, bool Auto);
  bool RefuseNegativeRow(int32_t row);
  bool RefuseRowToWrite(int32_t row);
  bool RefuseBadColumn(int16_t column);
  bool FindDuplicate(const std::vector<std::string>& values, std::string& duplicate) const;
  std::string BlankRow() const;

  bool m_bBackup;
  bool m_bExcel = false;
  bool m_bInTransaction = false;
  std::string m_strFile;
  // Declared before the storage, which works on it.
  std::unique_ptr<spreadsheet::SheetContents> m_pSheet;
  std::unique_ptr<spreadsheet::SheetStorage> m_pStorage;
};
