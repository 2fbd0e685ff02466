#include "spreadsheet/SpreadSheet.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <unordered_map>

#include "spreadsheet/driver/Database.h"
#include "spreadsheet/driver/FileLock.h"
#include "platform/TextCodec.h"
#include "spreadsheet/DelimitedFile.h"
#include "spreadsheet/RowText.h"

using platform::CDatabase;
using platform::CDBException;
using platform::CRecordset;

namespace {

const char kWorkbookSeparator[] = ",;.?";
const char kBackupSheet[] = "CSpreadSheetBackup";
// The range that addresses a whole worksheet of the file format.
const char kWholeSheet[] = "$A1:IV65536";

const char kErrOpenFile[] = "Error in opening file\n";
const char kErrWriteFile[] = "Error writing file\n";
const char kErrRollBack[] = "Error in returning to previous state\n";
const char kErrDuplicate[] = "Duplicate header row field:%s\n";
const char kErrFewerHeaders[] =
    "Number of columns in new header row cannot be less than the number of columns in previous header row";
const char kErrNoHeader[] = "No header row. Add header row first\n";
const char kErrTooWide[] = "Number of columns to be added cannot be greater than the number of fields\n";
const char kErrAddHeaders[] = "Problems with adding headers\n";
const char kErrColumnZero[] = "Column cannot be zero\n";
const char kErrColumnNegative[] = "Column cannot be negative\n";
const char kErrRowNegative[] = "Row cannot be negative\n";
const char kErrCellTooWide[] = "Cell column to be added cannot be greater than the number of fields\n";
const char kErrRowBeyond[] = "Desired row is greater than total number of rows in spreadsheet\n";
const char kErrReadRow[] = "Error reading row\n";
const char kErrColumnName[] = "Invalid field name or column alphabet\n";
const char kErrDeleteSheet[] = "Error deleting sheet\n";
const char kErrNotDelimited[] = "Function not available for text delimited file\n";
const char kErrNoValues[] = "No values to replace or to match\n";
const char kErrRowLimit[] = "Row cannot be greater than 65536 in a worksheet\n";
// Rows a worksheet of the file format holds, the header row included.
constexpr int32_t kWorksheetRows = 65536;

std::string Format(const char* pattern, const std::string& arg) {
  std::string out;
  for (const char* p = pattern; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      out += arg;
      ++p;
    } else {
      out.push_back(*p);
    }
  }
  return out;
}

// A value inside an SQL string literal: a single quote is doubled so that it
// is stored as it is instead of ending the literal. Bytes that are not GBK are
// stored as U+FFFD.
std::string Literal(const std::string& value) {
  std::string out;
  out.reserve(value.size() + 2);
  out.push_back('\'');
  for (char c : platform::GbkWithStrayBytesMarked(value)) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  out.push_back('\'');
  return out;
}

// A column or sheet name between brackets; a closing bracket inside the name is
// doubled, as bracketed identifiers require. The trail byte of a two-byte GBK
// character may be 0x5D (e.g. 0x81 0x5D) and is part of that character, not a
// bracket. A lead byte without its trail byte is marked first, so that it
// cannot take the closing bracket as its trail.
std::string Bracketed(const std::string& text) {
  const std::string name = platform::GbkWithStrayBytesMarked(text);
  std::string out = "[";
  for (std::size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    out.push_back(name[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < name.size()) {
      out.push_back(name[++i]);  // the trail byte
      continue;
    }
    if (c == ']') out.push_back(']');
  }
  out.push_back(']');
  return out;
}

// Upper-cases ASCII letters only, and never the trail byte of a GBK character.
std::string UpperAscii(const std::string& text) {
  std::string out = text;
  for (std::size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < out.size()) {
      ++i;  // skip the trail byte
      continue;
    }
    if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

int16_t ClampColumns(std::size_t n) {
  return static_cast<int16_t>(std::min<std::size_t>(n, INT16_MAX));
}

// Closes the connection whatever way the statements end.
class ConnectionGuard {
 public:
  explicit ConnectionGuard(CDatabase& db) : m_db(db) {}
  ~ConnectionGuard() { m_db.Close(); }
  ConnectionGuard(const ConnectionGuard&) = delete;
  ConnectionGuard& operator=(const ConnectionGuard&) = delete;

 private:
  CDatabase& m_db;
};

}  // namespace

CSpreadSheet::CSpreadSheet(const std::string& File, const std::string& SheetOrSeparator, bool Backup)
    : m_bBackup(Backup), m_strFile(File) {
  std::string tail = File.size() >= 4 ? File.substr(File.size() - 4) : File;
  for (char& c : tail)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (tail == ".xls") {
    m_bExcel = true;
    m_strSheetName = SheetOrSeparator;
    m_strSeparator = kWorkbookSeparator;
    try {
      m_pLock = std::make_unique<platform::FileLock>(File);
    } catch (const platform::FileLockError& e) {
      throw CDBException(e.what());
    }
    m_pDatabase = std::make_unique<CDatabase>();
    FindExcelDriver();
    m_strConnect = "DRIVER={" + m_strDriver + "};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=\"" + File +
                   "\";DBQ=" + File;
  } else {
    m_strSeparator = SheetOrSeparator;
  }

  if (!Load() || !m_bBackup || !m_bExisting) return;
  if (m_bExcel) {
    std::string sheet = m_strSheetName;
    m_strSheetName = kBackupSheet;
    m_bExisting = false;
    // Fails once the backup sheet exists: the first copy is kept.
    if (!Commit()) m_bBackup = false;
    m_bExisting = true;
    m_strSheetName = sheet;
    m_nCurrentRow = 1;
  } else {
    std::string file = m_strFile;
    m_strFile = file + ".bak";
    if (!Commit()) m_bBackup = false;
    m_strFile = file;
  }
}

CSpreadSheet::~CSpreadSheet() {
  if (m_pDatabase) {
    try {
      m_pDatabase->Close();
    } catch (...) {
    }
  }
}

// ---- helpers ---------------------------------------------------------------

std::string CSpreadSheet::RowText(const std::vector<std::string>& values) const {
  return spreadsheet::BuildRowText(values, m_strSeparator);
}

std::vector<std::string> CSpreadSheet::Split(const std::string& rowText) const {
  return spreadsheet::SplitRowText(rowText, m_strSeparator);
}

std::string CSpreadSheet::BlankRow() const {
  return spreadsheet::BlankRowText(m_nTotalColumns, m_bExcel, m_strSeparator);
}

void CSpreadSheet::WidenTo(std::size_t columns) {
  int16_t n = ClampColumns(columns);
  if (n > m_nTotalColumns) m_nTotalColumns = n;
}

void CSpreadSheet::ChangeStoredRow(int32_t row) {
  if (row <= m_nStoredRows) m_bStoredIntact = false;
}

bool CSpreadSheet::RefuseNegativeRow(int32_t row) {
  if (row >= 0) return false;
  m_strLastError = kErrRowNegative;
  return true;
}

// A row to write: not negative, and in a workbook not beyond what a worksheet
// holds (the gap would otherwise be filled with blank rows first).
bool CSpreadSheet::RefuseRowToWrite(int32_t row) {
  if (RefuseNegativeRow(row)) return true;
  if (!m_bExcel || row <= kWorksheetRows) return false;
  m_strLastError = kErrRowLimit;
  return true;
}

bool CSpreadSheet::RefuseBadColumn(int16_t column) {
  if (column == 0) {
    m_strLastError = kErrColumnZero;
    return true;
  }
  if (column < 0) {
    m_strLastError = kErrColumnNegative;
    return true;
  }
  return false;
}

// The first value, in list order, that has an equal partner.
bool CSpreadSheet::FindDuplicate(const std::vector<std::string>& values, std::string& duplicate) const {
  std::unordered_map<std::string_view, int> count;
  for (const std::string& v : values) ++count[v];
  for (const std::string& v : values) {
    if (count[v] > 1) {
      duplicate = v;
      return true;
    }
  }
  return false;
}

// ---- driver and connection ---------------------------------------------------

void CSpreadSheet::FindExcelDriver() {
  m_strDriver.clear();
  char buffer[2000];
  std::uint16_t used = 0;
  if (!platform::SQLGetInstalledDrivers(buffer, sizeof buffer, &used)) return;
  const char* end = buffer + sizeof buffer;
  for (const char* name = buffer; name < end && *name;) {
    const char* nul = std::find(name, end, '\0');
    std::string_view driver(name, static_cast<std::size_t>(nul - name));
    if (driver.find("Excel") != std::string_view::npos) {
      m_strDriver.assign(driver);
      return;
    }
    name = nul + 1;
  }
}

void CSpreadSheet::OpenConnection() {
  m_pDatabase->OpenEx(m_strConnect, CDatabase::noOdbcDialog);
}

// ---- loading ---------------------------------------------------------------

bool CSpreadSheet::Load() { return m_bExcel ? LoadWorkbook() : LoadDelimited(); }

bool CSpreadSheet::LoadWorkbook() {
  OpenConnection();  // a failure to connect reaches the caller
  ConnectionGuard guard(*m_pDatabase);
  CRecordset recordset(m_pDatabase.get());
  m_pRecordset = &recordset;
  struct Reset {
    CRecordset*& p;
    ~Reset() { p = nullptr; }
  } reset{m_pRecordset};

  m_strSelect = "SELECT * FROM " + Bracketed(m_strSheetName + kWholeSheet);
  try {
    // The header and the row count; the rows themselves when first needed.
    recordset.OpenNamesAndCount(m_strSelect);
  } catch (const CDBException&) {
    return false;  // typically: the sheet does not exist yet
  }

  short columns = recordset.GetODBCFieldCount();
  if (columns > 0) {
    std::vector<std::string> names;
    for (short i = 0; i < columns; ++i) names.push_back(recordset.GetFieldName(i));
    const long dataRows = recordset.GetRecordCount();
    std::vector<std::string> rows(static_cast<std::size_t>(dataRows) + 1);
    rows.front() = RowText(names);
    m_nTotalColumns = columns;
    m_aFieldNames = std::move(names);
    m_aRows = std::move(rows);
    m_bExisting = true;
    m_nTotalRows = static_cast<int32_t>(m_aRows.size());
    m_nStoredRows = m_nTotalRows;
    m_bStoredIntact = true;
    m_nUnreadEnd = m_nTotalRows;
    m_nUnreadColumns = columns;
  } else {
    m_nTotalColumns = 0;
  }
  recordset.Close();
  m_nCurrentRow = 1;
  return true;
}

// Fills rows 2 .. m_nUnreadEnd from the worksheet. Rows this object appended
// since follow them in the worksheet and are already held. Throws
// CDBException; nothing held changes then.
void CSpreadSheet::ReadUnreadRows() {
  if (m_nUnreadEnd < 2) return;
  // Inside a commit the connection is open already (and may hold the
  // transaction's changes to other sheets).
  const bool opened = !m_pDatabase->IsOpen();
  if (opened) OpenConnection();
  struct CloseIfOpened {
    CDatabase& db;
    bool opened;
    ~CloseIfOpened() {
      if (opened) db.Close();
    }
  } closer{*m_pDatabase, opened};

  CRecordset recordset(m_pDatabase.get());
  recordset.Open(CRecordset::forwardOnly, m_strSelect, CRecordset::readOnly);
  const short columns = recordset.GetODBCFieldCount();
  const std::size_t wanted = static_cast<std::size_t>(m_nUnreadEnd - 1);
  if (columns != m_nUnreadColumns || static_cast<std::size_t>(recordset.GetRecordCount()) < wanted)
    throw CDBException(kErrReadRow);
  std::vector<std::string> rows;
  rows.reserve(wanted);
  std::vector<std::string> values(static_cast<std::size_t>(columns));
  while (rows.size() < wanted && !recordset.IsEOF()) {
    for (short i = 0; i < columns; ++i) recordset.GetFieldValue(i, values[static_cast<std::size_t>(i)]);
    rows.push_back(RowText(values));
    recordset.MoveNext();
  }
  recordset.Close();
  std::move(rows.begin(), rows.end(), m_aRows.begin() + 1);
  m_nUnreadEnd = 0;
}

bool CSpreadSheet::EnsureRows() {
  if (m_nUnreadEnd < 2) return true;
  try {
    ReadUnreadRows();
    return true;
  } catch (const CDBException& e) {
    m_strLastError = e.m_strError;
    return false;
  }
}

bool CSpreadSheet::EnsureRow(int32_t row) { return row < 2 || row > m_nUnreadEnd || EnsureRows(); }

bool CSpreadSheet::LoadDelimited() {
  std::vector<std::string> lines;
  if (!spreadsheet::ReadLines(platform::GbkToUtf8(m_strFile), lines)) {
    m_strLastError = kErrOpenFile;
    return false;
  }
  m_aRows = std::move(lines);
  m_nTotalRows = static_cast<int32_t>(std::min<std::size_t>(m_aRows.size(), INT32_MAX));
  if (m_aRows.empty())
    m_aFieldNames.clear();
  else
    m_aFieldNames = Split(m_aRows.front());
  for (const std::string& row : m_aRows) WidenTo(Split(row).size());
  if (m_nTotalColumns != 0) m_bExisting = true;
  m_nCurrentRow = 1;
  return true;
}

// ---- commit, transactions ----------------------------------------------------

void CSpreadSheet::BeginTransaction() { m_bInTransaction = true; }

bool CSpreadSheet::Commit() { return m_bExcel ? CommitWorkbook() : CommitDelimited(); }

bool CSpreadSheet::CommitDelimited() {
  if (!spreadsheet::WriteLines(platform::GbkToUtf8(m_strFile), m_aRows)) {
    m_strLastError = kErrWriteFile;
    return false;
  }
  m_bInTransaction = false;
  return true;
}

bool CSpreadSheet::CommitWorkbook() {
  if (m_aFieldNames.empty()) {
    // A table needs at least one column.
    m_strLastError = kErrNoHeader;
    return false;
  }
  // A sheet written anew needs its stored rows; read them before anything
  // drops the sheet.
  const int32_t rowCount = static_cast<int32_t>(m_aRows.size());
  const bool appendOnly = m_bExisting && m_bStoredIntact && m_nStoredRows >= 1 && m_nStoredRows <= rowCount &&
                          Split(m_aRows.front()) == m_aFieldNames;
  if (!appendOnly && m_bExisting && !EnsureRows()) return false;
  OpenConnection();  // a failure to connect reaches the caller
  ConnectionGuard guard(*m_pDatabase);

  std::string columns;
  for (const std::string& name : m_aFieldNames) columns += Bracketed(name) + " char(255), ";
  columns.erase(columns.size() - 2);

  // All statements of one commit stand or fall together: the workbook is
  // replaced only when every one of them succeeded. The workbook stays locked
  // from load to here, so when the stored rows are unchanged they are still
  // in the worksheet and only the rows added after them need writing.
  m_pDatabase->BeginTrans();
  try {
    if (!appendOnly) {
      std::string create;
      if (!m_bExisting) {
        create = "CREATE TABLE " + Bracketed(m_strSheetName) + " (" + columns + ")";
      } else {
        m_pDatabase->ExecuteSQL("DROP TABLE " + Bracketed(m_strSheetName + kWholeSheet));
        create = "CREATE TABLE " + Bracketed(m_strSheetName + kWholeSheet) + " (" + columns + ")";
      }
      m_pDatabase->ExecuteSQL(create);
      // A copy into another sheet (the backup) reads the rows only once its
      // sheet could be made.
      ReadUnreadRows();
    }

    for (int32_t i = appendOnly ? m_nStoredRows : 1; i < rowCount; ++i) {
      std::vector<std::string> values = Split(m_aRows[static_cast<std::size_t>(i)]);
      if (values.size() > m_aFieldNames.size()) throw CDBException(kErrTooWide);
      std::string insert = "INSERT INTO " + Bracketed(m_strSheetName + "$A1:IV" + std::to_string(i)) + " (";
      for (std::size_t j = 0; j < values.size(); ++j) insert += Bracketed(m_aFieldNames[j]) + ", ";
      insert.erase(insert.size() - 2);
      insert += ") VALUES (";
      for (const std::string& v : values) insert += Literal(v) + ", ";
      insert.erase(insert.size() - 2);
      insert += ")";
      m_pDatabase->ExecuteSQL(insert);
    }
    m_pDatabase->CommitTrans();
  } catch (const CDBException& e) {
    m_strLastError = e.m_strError;
    try {
      m_pDatabase->Rollback();
    } catch (...) {
    }
    return false;
  }
  m_nStoredRows = rowCount;
  m_bStoredIntact = true;
  if (!m_bExisting) {
    m_nTotalColumns = ClampColumns(m_aFieldNames.size());
    m_bExisting = true;
  }
  m_bInTransaction = false;
  return true;
}

bool CSpreadSheet::RollBack() {
  if (Load()) {
    m_bInTransaction = false;
    return true;
  }
  m_strLastError = kErrRollBack;
  return false;
}

// ---- header ------------------------------------------------------------------

void CSpreadSheet::GetFieldNames(std::vector<std::string>& FieldNames) { FieldNames = m_aFieldNames; }

bool CSpreadSheet::AddHeaders(const std::vector<std::string>& FieldNames, bool replace) {
  if (!m_bExisting) {
    m_nTotalColumns = ClampColumns(FieldNames.size());
    return AddRow(FieldNames, 1, true);
  }
  if (replace) return AddRow(FieldNames, 1, true);

  std::vector<std::string> stored;
  if (!ReadRow(stored, 1)) return false;
  m_aFieldNames = stored;
  if (m_bExcel) {
    for (const std::string& name : FieldNames) {
      if (std::find(m_aFieldNames.begin(), m_aFieldNames.end(), name) != m_aFieldNames.end()) {
        m_strLastError = Format(kErrDuplicate, name);
        return false;
      }
    }
  }
  m_aFieldNames.insert(m_aFieldNames.end(), FieldNames.begin(), FieldNames.end());
  std::vector<std::string> header = m_aFieldNames;
  if (!AddRow(header, 1, true)) {
    m_strLastError = kErrAddHeaders;
    return false;
  }
  WidenTo(header.size());
  return true;
}

// ---- rows and cells ----------------------------------------------------------

bool CSpreadSheet::AddRow(const std::vector<std::string>& RowValues, int32_t row, bool replace) {
  if (RefuseRowToWrite(row)) return false;
  // Inserting moves the stored rows; replacing one needs the others for the
  // rewrite that follows. A new last row or a new header needs none of them.
  if (row != 0 && row <= m_nTotalRows && !(row == 1 && replace) && !EnsureRows()) return false;
  if (row == 1) {
    if (m_bExcel) {
      std::string duplicate;
      if (FindDuplicate(RowValues, duplicate)) {
        m_strLastError = Format(kErrDuplicate, duplicate);
        return false;
      }
      if (RowValues.size() < static_cast<std::size_t>(std::max<int16_t>(m_nTotalColumns, 0))) {
        m_strLastError = kErrFewerHeaders;
        return false;
      }
      m_nTotalColumns = ClampColumns(RowValues.size());
    }
    m_aFieldNames = RowValues;
  } else if (m_bExcel && m_nTotalColumns == 0) {
    m_strLastError = kErrNoHeader;
    return false;
  }

  if (m_bExcel) {
    if (RowValues.size() > m_aFieldNames.size()) {
      m_strLastError = kErrTooWide;
      return false;
    }
  } else {
    WidenTo(RowValues.size());
  }

  std::string text = RowText(RowValues);
  if (row == 0) {
    m_aRows.push_back(std::move(text));
  } else if (row <= m_nTotalRows) {
    ChangeStoredRow(row);
    auto at = m_aRows.begin() + (row - 1);
    if (replace)
      *at = std::move(text);
    else
      m_aRows.insert(at, std::move(text));
  } else {
    std::string blank = BlankRow();
    while (static_cast<int32_t>(m_aRows.size()) < row - 1) m_aRows.push_back(blank);
    m_aRows.push_back(std::move(text));
    m_nCurrentRow = row;
  }
  m_nTotalRows = static_cast<int32_t>(m_aRows.size());

  if (!m_bInTransaction) Commit();  // its failure stays in m_strLastError
  return true;
}

bool CSpreadSheet::AddCell(const std::string& CellValue, int16_t column, int32_t row) {
  if (RefuseBadColumn(column) || RefuseRowToWrite(row)) return false;
  if (m_bExcel) {
    if (static_cast<std::size_t>(column) > m_aFieldNames.size() + 1) {
      m_strLastError = kErrCellTooWide;
      return false;
    }
  } else {
    WidenTo(static_cast<std::size_t>(column));
  }

  if (row == 0 || row > m_nTotalRows) {
    if (row > m_nTotalRows) {
      std::string blank = BlankRow();
      while (static_cast<int32_t>(m_aRows.size()) < row - 1) m_aRows.push_back(blank);
    }
    std::vector<std::string> cells(static_cast<std::size_t>(std::max<int16_t>(m_nTotalColumns, 0)),
                                   m_bExcel ? " " : "");
    if (static_cast<std::size_t>(column) <= cells.size()) cells[static_cast<std::size_t>(column - 1)] = CellValue;
    m_aRows.push_back(RowText(cells));
    m_nTotalRows = static_cast<int32_t>(m_aRows.size());
    if (row != 0) m_nCurrentRow = row;
    if (!m_bInTransaction) Commit();
    return true;
  }

  std::vector<std::string> values;
  if (!ReadRow(values, row)) return false;
  if (values.size() < static_cast<std::size_t>(column)) values.resize(static_cast<std::size_t>(column));
  values[static_cast<std::size_t>(column - 1)] = CellValue;
  if (row == 1) {
    std::string duplicate;
    if (m_bExcel && FindDuplicate(values, duplicate)) {
      m_strLastError = Format(kErrDuplicate, duplicate);
      return false;
    }
    m_aFieldNames = values;
  }
  // AddRow commits unless a transaction is open.
  return AddRow(values, row, true);
}

bool CSpreadSheet::AddCell(const std::string& CellValue, const std::string& column, int32_t row, bool Auto) {
  int16_t number = ColumnNumber(column, Auto);
  if (number == 0) return false;
  return AddCell(CellValue, number, row);
}

bool CSpreadSheet::ReadRow(std::vector<std::string>& RowValues, int32_t row) {
  if (RefuseNegativeRow(row)) return false;
  if (static_cast<std::size_t>(row) > m_aRows.size()) {
    m_strLastError = kErrRowBeyond;
    return false;
  }
  if (row == 0) {
    if (m_nCurrentRow < 1 || static_cast<std::size_t>(m_nCurrentRow) > m_aRows.size()) return false;
  } else {
    m_nCurrentRow = row;
  }
  if (!EnsureRow(m_nCurrentRow)) return false;
  RowValues = Split(m_aRows[static_cast<std::size_t>(m_nCurrentRow - 1)]);
  ++m_nCurrentRow;
  return true;
}

bool CSpreadSheet::ReadColumn(std::vector<std::string>& ColumnValues, int16_t column) {
  if (RefuseBadColumn(column) || !EnsureRows()) return false;
  ColumnValues.clear();
  for (const std::string& text : m_aRows) {
    std::vector<std::string> values = Split(text);
    if (values.size() >= static_cast<std::size_t>(column))
      ColumnValues.push_back(values[static_cast<std::size_t>(column - 1)]);
    else
      ColumnValues.emplace_back();
  }
  return true;
}

bool CSpreadSheet::ReadColumn(std::vector<std::string>& ColumnValues, const std::string& column, bool Auto) {
  int16_t number = ColumnNumber(column, Auto);
  if (number == 0) return false;
  return ReadColumn(ColumnValues, number);
}

bool CSpreadSheet::ReadCell(std::string& CellValue, int16_t column, int32_t row) {
  if (RefuseBadColumn(column) || RefuseNegativeRow(row)) return false;
  int32_t which = row != 0 ? row : m_nCurrentRow;
  if (which < 1 || static_cast<std::size_t>(which) > m_aRows.size()) {
    m_strLastError = kErrReadRow;
    return false;
  }
  if (!EnsureRow(which)) return false;
  std::vector<std::string> values = Split(m_aRows[static_cast<std::size_t>(which - 1)]);
  if (values.size() < static_cast<std::size_t>(column)) {
    CellValue.clear();
    return false;
  }
  CellValue = values[static_cast<std::size_t>(column - 1)];
  return true;
}

bool CSpreadSheet::ReadCell(std::string& CellValue, const std::string& column, int32_t row, bool Auto) {
  int16_t number = ColumnNumber(column, Auto);
  if (number == 0) return false;
  return ReadCell(CellValue, number, row);
}

int16_t CSpreadSheet::ColumnNumber(const std::string& column, bool Auto) {
  std::string text = Auto ? UpperAscii(column) : column;
  if (Auto && (text.size() == 1 || text.size() == 2) &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
    if (text.size() == 1) return static_cast<int16_t>(text[0] - 64);
    return static_cast<int16_t>((text[0] - 64) * 26 + (text[1] - 64));
  }
  // Anything else, including a short text that is not column letters, is a
  // header name.
  for (std::size_t i = 0; i < m_aFieldNames.size() && i < static_cast<std::size_t>(INT16_MAX); ++i) {
    if (m_aFieldNames[i] == text) return static_cast<int16_t>(i + 1);
  }
  m_strLastError = kErrColumnName;
  return 0;
}

// ---- whole sheet ---------------------------------------------------------------

bool CSpreadSheet::DeleteSheet() {
  if (m_bExcel) {
    if (!DeleteSheet(m_strSheetName)) {
      m_strLastError = kErrDeleteSheet;
      return false;
    }
    return true;
  }
  m_aRows.clear();
  m_aFieldNames.clear();
  m_nTotalColumns = 0;
  m_nTotalRows = 0;
  if (!m_bInTransaction) Commit();
  m_bExisting = false;
  return true;
}

bool CSpreadSheet::DeleteSheet(const std::string& SheetName) {
  if (!m_bExcel) return DeleteSheet();
  OpenConnection();  // a failure to connect reaches the caller
  ConnectionGuard guard(*m_pDatabase);
  try {
    m_pDatabase->ExecuteSQL("DROP TABLE " + Bracketed(SheetName + kWholeSheet));
  } catch (const CDBException& e) {
    m_strLastError = e.m_strError;
    return false;
  }
  m_aFieldNames.clear();
  m_aRows.clear();
  m_nTotalColumns = 0;
  m_nTotalRows = 0;
  m_nStoredRows = 0;
  m_bStoredIntact = false;
  m_nUnreadEnd = 0;
  return true;
}

bool CSpreadSheet::ReplaceRows(const std::vector<std::string>& NewRowValues,
                               const std::vector<std::string>& OldRowValues) {
  if (!m_bExcel) {
    m_strLastError = kErrNotDelimited;
    return false;
  }
  if (NewRowValues.empty() || OldRowValues.empty()) {
    m_strLastError = kErrNoValues;
    return false;
  }
  if (NewRowValues.size() > m_aFieldNames.size() || OldRowValues.size() > m_aFieldNames.size()) {
    m_strLastError = kErrTooWide;
    return false;
  }
  std::string sql = "UPDATE " + Bracketed(m_strSheetName) + " SET ";
  for (std::size_t i = 0; i < NewRowValues.size(); ++i)
    sql += Bracketed(m_aFieldNames[i]) + "=" + Literal(NewRowValues[i]) + ", ";
  sql.erase(sql.size() - 2);
  sql += " WHERE (";
  for (std::size_t i = 0; i < OldRowValues.size(); ++i)
    sql += Bracketed(m_aFieldNames[i]) + "=" + Literal(OldRowValues[i]) + " AND ";
  sql.erase(sql.size() - 4);
  sql += ")";

  OpenConnection();  // a failure to connect reaches the caller
  {
    ConnectionGuard guard(*m_pDatabase);
    try {
      m_pDatabase->ExecuteSQL(sql);
    } catch (const CDBException& e) {
      m_strLastError = e.m_strError;
      return false;
    }
  }
  m_bStoredIntact = false;  // the worksheet changed under the rows held
  LoadWorkbook();
  return true;
}

bool CSpreadSheet::ConvertFormat(const std::string& SheetOrSeparator) {
  std::string path = m_strFile.size() >= 4 ? m_strFile.substr(0, m_strFile.size() - 4) : std::string();
  path += m_bExcel ? ".csv" : ".xls";
  CSpreadSheet target(path, SheetOrSeparator, false);
  if (target.GetTotalColumns() != 0) return false;

  std::vector<std::string> values;
  if (m_bExcel) {
    target.BeginTransaction();
    for (int32_t r = 1; r <= m_nTotalRows; ++r) {
      if (!ReadRow(values, r) || !target.AddRow(values, r, false)) return false;
    }
    return target.Commit();
  }

  // The duplicate reported is the one found last.
  std::string duplicate;
  bool hasDuplicate = false;
  for (std::size_t i = m_aFieldNames.size(); i-- > 0 && !hasDuplicate;) {
    for (std::size_t j = 0; j < m_aFieldNames.size(); ++j) {
      if (j != i && m_aFieldNames[j] == m_aFieldNames[i]) {
        duplicate = m_aFieldNames[i];
        hasDuplicate = true;
        break;
      }
    }
  }

  // One commit for the whole copy: all of it or nothing reaches the workbook.
  target.BeginTransaction();
  if (!hasDuplicate) {
    if (!target.AddHeaders(m_aFieldNames, false)) return false;
    for (int32_t r = 2; r <= m_nTotalRows; ++r) {
      if (!ReadRow(values, r) || !target.AddRow(values, r, false)) return false;
    }
  } else {
    m_strLastError = Format(kErrDuplicate, duplicate);
    std::vector<std::string> numbers;
    for (int16_t c = 1; c <= m_nTotalColumns; ++c) numbers.push_back(std::to_string(c));
    if (!target.AddHeaders(numbers, false)) return false;
    for (int32_t r = 1; r <= m_nTotalRows; ++r) {
      if (!ReadRow(values, r) || !target.AddRow(values, r + 1, false)) return false;
    }
  }
  return target.Commit();
}
