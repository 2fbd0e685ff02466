#include "spreadsheet/WorkbookStorage.h"

#include <algorithm>

#include "platform/TextCodec.h"
#include "spreadsheet/SheetContents.h"
#include "spreadsheet/SheetErrors.h"
#include "spreadsheet/driver/Database.h"
#include "spreadsheet/driver/FileLock.h"

namespace spreadsheet {
namespace {

const char kBackupSheet[] = "CSpreadSheetBackup";
// The range that addresses a whole worksheet of the file format.
const char kWholeSheet[] = "$A1:IV65536";
// Rows a worksheet of the file format holds, the header row included.
constexpr int32_t kWorksheetRows = 65536;

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

WorkbookStorage::WorkbookStorage(SheetContents& sheet, std::string& lastError, const std::string& file,
                                 const std::string& sheetName)
    : SheetStorage(sheet, lastError), m_strSheetName(sheetName) {
  try {
    m_pLock = std::make_unique<FileLock>(file);
  } catch (const platform::Error& e) {
    // A workbook held too long by another process is a database failure to
    // the sheet's caller, like one the connection reports.
    throw CDBException(e.what());
  }
  m_pDatabase = std::make_unique<CDatabase>();
  FindExcelDriver();
  m_strConnect =
      "DRIVER={" + m_strDriver + "};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=\"" + file + "\";DBQ=" + file;
}

WorkbookStorage::~WorkbookStorage() {
  try {
    m_pDatabase->Close();
  } catch (...) {
  }
}

int32_t WorkbookStorage::MaxRows() const {
  return kWorksheetRows;
}

bool WorkbookStorage::WriteBackup() {
  const std::string sheet = m_strSheetName;
  m_strSheetName = kBackupSheet;
  m_sheet.m_bExisting = false;
  // Fails once the backup sheet exists: the first copy is kept.
  const bool written = Commit();
  m_sheet.m_bExisting = true;
  m_strSheetName = sheet;
  m_sheet.m_nCurrentRow = 1;
  return written;
}

void WorkbookStorage::ChangeStoredRow(int32_t row) {
  if (row <= m_nStoredRows) m_bStoredIntact = false;
}

template <typename Step>
bool WorkbookStorage::Recorded(Step&& step) {
  try {
    step();
    return true;
  } catch (const platform::Error& e) {
    m_strLastError = e.what();
    return false;
  }
}

// ---- driver and connection ---------------------------------------------------

void WorkbookStorage::FindExcelDriver() {
  m_strDriver.clear();
  char buffer[2000];
  std::uint16_t used = 0;
  if (!SQLGetInstalledDrivers(buffer, sizeof buffer, &used)) return;
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

void WorkbookStorage::OpenConnection() {
  m_pDatabase->OpenEx(m_strConnect, CDatabase::noOdbcDialog);
}

// ---- loading ---------------------------------------------------------------

bool WorkbookStorage::Load() {
  OpenConnection();  // a failure to connect reaches the caller
  ConnectionGuard guard(*m_pDatabase);
  CRecordset recordset(m_pDatabase.get());

  m_strSelect = "SELECT * FROM " + Bracketed(m_strSheetName + kWholeSheet);
  try {
    // The header and the row count; the rows themselves when first needed.
    recordset.OpenNamesAndCount(m_strSelect);
  } catch (const platform::Error&) {
    return false;  // typically: the sheet does not exist yet
  }

  short columns = recordset.GetODBCFieldCount();
  if (columns > 0) {
    std::vector<std::string> names;
    for (short i = 0; i < columns; ++i) names.push_back(recordset.GetFieldName(i));
    const long dataRows = recordset.GetRecordCount();
    std::vector<std::string> rows(static_cast<std::size_t>(dataRows) + 1);
    rows.front() = m_sheet.RowText(names);
    m_sheet.m_nTotalColumns = columns;
    m_sheet.m_aFieldNames = std::move(names);
    m_sheet.m_aRows = std::move(rows);
    m_sheet.m_bExisting = true;
    m_sheet.m_nTotalRows = static_cast<int32_t>(m_sheet.m_aRows.size());
    m_nStoredRows = m_sheet.m_nTotalRows;
    m_bStoredIntact = true;
    m_nUnreadEnd = m_sheet.m_nTotalRows;
    m_nUnreadColumns = columns;
  } else {
    m_sheet.m_nTotalColumns = 0;
  }
  recordset.Close();
  m_sheet.m_nCurrentRow = 1;
  return true;
}

// Fills rows 2 .. m_nUnreadEnd from the worksheet. Rows this object appended
// since follow them in the worksheet and are already held. Throws
// platform::Error; nothing held changes then.
void WorkbookStorage::ReadUnreadRows() {
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
    throw platform::Error(kErrReadRow);
  std::vector<std::string> rows;
  rows.reserve(wanted);
  std::vector<std::string> values(static_cast<std::size_t>(columns));
  while (rows.size() < wanted && !recordset.IsEOF()) {
    for (short i = 0; i < columns; ++i) recordset.GetFieldValue(i, values[static_cast<std::size_t>(i)]);
    rows.push_back(m_sheet.RowText(values));
    recordset.MoveNext();
  }
  recordset.Close();
  std::move(rows.begin(), rows.end(), m_sheet.m_aRows.begin() + 1);
  m_nUnreadEnd = 0;
}

bool WorkbookStorage::EnsureRows() {
  if (m_nUnreadEnd < 2) return true;
  return Recorded([&] { ReadUnreadRows(); });
}

bool WorkbookStorage::EnsureRow(int32_t row) {
  return row < 2 || row > m_nUnreadEnd || EnsureRows();
}

// ---- commit ------------------------------------------------------------------

bool WorkbookStorage::Commit() {
  if (m_sheet.m_aFieldNames.empty()) {
    // A table needs at least one column.
    m_strLastError = kErrNoHeader;
    return false;
  }
  // A sheet written anew needs its stored rows; read them before anything
  // drops the sheet.
  const int32_t rowCount = static_cast<int32_t>(m_sheet.m_aRows.size());
  const bool appendOnly = m_sheet.m_bExisting && m_bStoredIntact && m_nStoredRows >= 1 && m_nStoredRows <= rowCount &&
                          m_sheet.Split(m_sheet.m_aRows.front()) == m_sheet.m_aFieldNames;
  if (!appendOnly && m_sheet.m_bExisting && !EnsureRows()) return false;
  OpenConnection();  // a failure to connect reaches the caller
  ConnectionGuard guard(*m_pDatabase);

  std::string columns;
  for (const std::string& name : m_sheet.m_aFieldNames) columns += Bracketed(name) + " char(255), ";
  columns.erase(columns.size() - 2);

  // All statements of one commit stand or fall together: the workbook is
  // replaced only when every one of them succeeded. The workbook stays locked
  // from load to here, so when the stored rows are unchanged they are still
  // in the worksheet and only the rows added after them need writing.
  m_pDatabase->BeginTrans();
  try {
    if (!appendOnly) {
      std::string create;
      if (!m_sheet.m_bExisting) {
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
      std::vector<std::string> values = m_sheet.Split(m_sheet.m_aRows[static_cast<std::size_t>(i)]);
      if (values.size() > m_sheet.m_aFieldNames.size()) throw platform::Error(kErrTooWide);
      std::string insert = "INSERT INTO " + Bracketed(m_strSheetName + "$A1:IV" + std::to_string(i)) + " (";
      for (std::size_t j = 0; j < values.size(); ++j) insert += Bracketed(m_sheet.m_aFieldNames[j]) + ", ";
      insert.erase(insert.size() - 2);
      insert += ") VALUES (";
      for (const std::string& v : values) insert += Literal(v) + ", ";
      insert.erase(insert.size() - 2);
      insert += ")";
      m_pDatabase->ExecuteSQL(insert);
    }
    m_pDatabase->CommitTrans();
  } catch (const platform::Error& e) {
    m_strLastError = e.what();
    try {
      m_pDatabase->Rollback();
    } catch (...) {
    }
    return false;
  }
  m_nStoredRows = rowCount;
  m_bStoredIntact = true;
  if (!m_sheet.m_bExisting) {
    m_sheet.m_nTotalColumns = ClampColumns(m_sheet.m_aFieldNames.size());
    m_sheet.m_bExisting = true;
  }
  return true;
}

// ---- whole sheet ---------------------------------------------------------------

bool WorkbookStorage::DeleteOwnSheet(bool inTransaction) {
  if (!DeleteSheet(m_strSheetName, inTransaction)) {
    m_strLastError = kErrDeleteSheet;
    return false;
  }
  return true;
}

bool WorkbookStorage::DeleteSheet(const std::string& SheetName, bool) {
  OpenConnection();  // a failure to connect reaches the caller
  ConnectionGuard guard(*m_pDatabase);
  if (!Recorded([&] { m_pDatabase->ExecuteSQL("DROP TABLE " + Bracketed(SheetName + kWholeSheet)); })) return false;
  m_sheet.m_aFieldNames.clear();
  m_sheet.m_aRows.clear();
  m_sheet.m_nTotalColumns = 0;
  m_sheet.m_nTotalRows = 0;
  m_nStoredRows = 0;
  m_bStoredIntact = false;
  m_nUnreadEnd = 0;
  return true;
}

bool WorkbookStorage::ReplaceRows(const std::vector<std::string>& NewRowValues,
                                  const std::vector<std::string>& OldRowValues) {
  if (NewRowValues.empty() || OldRowValues.empty()) {
    m_strLastError = kErrNoValues;
    return false;
  }
  if (NewRowValues.size() > m_sheet.m_aFieldNames.size() || OldRowValues.size() > m_sheet.m_aFieldNames.size()) {
    m_strLastError = kErrTooWide;
    return false;
  }
  std::string sql = "UPDATE " + Bracketed(m_strSheetName) + " SET ";
  for (std::size_t i = 0; i < NewRowValues.size(); ++i)
    sql += Bracketed(m_sheet.m_aFieldNames[i]) + "=" + Literal(NewRowValues[i]) + ", ";
  sql.erase(sql.size() - 2);
  sql += " WHERE (";
  for (std::size_t i = 0; i < OldRowValues.size(); ++i)
    sql += Bracketed(m_sheet.m_aFieldNames[i]) + "=" + Literal(OldRowValues[i]) + " AND ";
  sql.erase(sql.size() - 4);
  sql += ")";

  OpenConnection();  // a failure to connect reaches the caller
  {
    ConnectionGuard guard(*m_pDatabase);
    if (!Recorded([&] { m_pDatabase->ExecuteSQL(sql); })) return false;
  }
  m_bStoredIntact = false;  // the worksheet changed under the rows held
  Load();
  return true;
}

}  // namespace spreadsheet
