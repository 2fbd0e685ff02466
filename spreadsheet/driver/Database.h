// Database connection, result set and driver list in the manner of an ODBC
// binding. The only installed driver is the module's embedded workbook engine,
// which serves the worksheets of an Excel 97-2003 workbook (.xls) as tables
// whose first row holds the column names.
//
// Every text in and out is the module's 8-bit GBK text: statements, values,
// column names, paths and error messages.
//
// A connection holds an exclusive lock on its workbook from OpenEx to Close
// (see FileLock.h), so two processes never interleave their changes; it waits
// at most FileLock::kDefaultWait for another holder.
//
// Changes are atomic: outside a transaction every ExecuteSQL is its own
// transaction; between BeginTrans and CommitTrans the statements change only
// the connection's copy of the workbook, and CommitTrans writes all of them at
// once (a new file renamed over the old one). A failed statement changes
// nothing; Rollback, Close or destruction without CommitTrans write nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Error.h"

namespace spreadsheet {

// A failed database operation. m_strError is the driver's message (GBK),
// what() the same text. Every failure of the lock and the workbook engine
// below reaches the caller as this exception; being a platform::Error, it
// is handled inside the module like any other failure.
class CDBException : public platform::Error {
 public:
  explicit CDBException(const std::string& error) : platform::Error(error), m_strError(error) {}
  const char* what() const noexcept override { return m_strError.c_str(); }

  std::string m_strError;
};

// Fills buf with the names of the installed drivers, each ended by a NUL and
// the list ended by an empty name (a second NUL). *bytesOut (when not null)
// receives the number of bytes the list takes. Returns false, leaving buf
// unchanged, when buf is null or the list does not fit in `size` bytes.
bool SQLGetInstalledDrivers(char* buf, std::uint16_t size, std::uint16_t* bytesOut);

// Name under which the workbook engine is installed; contains "Excel".
const char* WorkbookDriverName();

namespace detail {
class Connection;
}

class CDatabase {
 public:
  // OpenEx options (bit flags). A dialog is never shown, so noOdbcDialog is
  // accepted for compatibility and forceOdbcDialog is refused.
  enum : unsigned {
    openExclusive = 0x01,
    openReadOnly = 0x02,
    useCursorLib = 0x04,
    noOdbcDialog = 0x08,
    forceOdbcDialog = 0x10,
  };

  CDatabase();
  virtual ~CDatabase();  // closes; uncommitted changes are dropped
  CDatabase(const CDatabase&) = delete;
  CDatabase& operator=(const CDatabase&) = delete;

  // Connects with a connection string such as
  //   DRIVER={<driver>};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB="<path>";DBQ=<path>
  // Keys are case-insensitive; values may be bare, {braced}, "quoted" or
  // 'quoted'. CREATE_DB lets a missing workbook be created (it is written by
  // the first change). Returns true; throws CDBException on any failure
  // (unknown driver, malformed string, unreadable workbook, lock time-out).
  // Opening an open connection closes it first.
  virtual bool OpenEx(const std::string& connect, unsigned options = 0);

  bool IsOpen() const;
  const std::string& GetConnect() const { return m_strConnect; }

  // Runs one CREATE TABLE, DROP TABLE, INSERT or UPDATE statement. Throws
  // CDBException with the driver's message on failure (nothing changed).
  virtual void ExecuteSQL(const std::string& sql);

  // False when not open or a transaction is already active.
  bool BeginTrans();
  // Writes every change of the transaction. False when no transaction is
  // active; throws CDBException when the workbook cannot be written (the
  // stored workbook is then unchanged and the transaction stays active, so
  // the caller may still Rollback).
  bool CommitTrans();
  // Drops the changes of the transaction. False when none is active.
  bool Rollback();

  // Drops uncommitted changes and releases the workbook. Safe when closed.
  virtual void Close();

  detail::Connection* GetConnection() const { return m_pConnection.get(); }

  // How long OpenEx waits for another process to release the workbook
  // (default FileLock::kDefaultWait). Applies to later OpenEx calls.
  static void SetLockWait(std::chrono::milliseconds wait);

 private:
  std::string m_strConnect;
  std::unique_ptr<detail::Connection> m_pConnection;
};

// Name of one result column.
struct CODBCFieldInfo {
  std::string m_strName;
};

// A forward-only, read-only result set of a SELECT statement.
class CRecordset {
 public:
  enum OpenType : unsigned { dynaset = 0, snapshot = 1, forwardOnly = 2, dynamic = 3 };
  enum : unsigned { none = 0x0, readOnly = 0x4 };

  explicit CRecordset(CDatabase* database);
  virtual ~CRecordset();
  CRecordset(const CRecordset&) = delete;
  CRecordset& operator=(const CRecordset&) = delete;

  // Runs a SELECT on the open connection and positions on the first row.
  // Only forwardOnly (or snapshot) read-only sets are offered. Returns true;
  // throws CDBException on failure (no such sheet, malformed statement,
  // connection not open).
  virtual bool Open(unsigned openType, const std::string& sql, unsigned options = readOnly);
  // Runs the SELECT for its column names and row count alone: no value is
  // read, and the set stands past its last row (IsEOF). Throws as Open.
  bool OpenNamesAndCount(const std::string& sql);
  bool IsOpen() const { return m_bOpen; }
  virtual void Close();
  // Rows of the result set (0 when it is not open).
  long GetRecordCount() const { return m_bOpen ? static_cast<long>(m_nRows) : 0; }

  short GetODBCFieldCount() const;
  // Throws CDBException for an index out of range.
  void GetODBCFieldInfo(short index, CODBCFieldInfo& info) const;
  const std::string& GetFieldName(short index) const;

  bool IsEOF() const;
  bool IsBOF() const;
  // Throws CDBException when already past the last row.
  void MoveNext();
  // The current row's value of column `index` (0-based) as text: an empty
  // cell reads as empty text, a number as its shortest exact decimal, a
  // boolean as TRUE/FALSE, an error as its code ("#DIV/0!"). Throws
  // CDBException at end of data or for an index out of range.
  void GetFieldValue(short index, std::string& value) const;

 private:
  CDatabase* m_pDatabase;
  bool m_bOpen = false;
  std::vector<std::string> m_aFieldNames;
  // Every value of every row as GBK text, one after the other in one
  // buffer (a large sheet takes a few bytes per value, not an object each):
  // value k of the result ends at m_aValueEnds[k].
  std::string m_strValues;
  std::vector<std::uint32_t> m_aValueEnds;
  std::size_t m_nRows = 0;
  std::size_t m_nRow = 0;
};

}  // namespace spreadsheet
