// One connection's view of a workbook file: statements run on a copy held in
// memory, and changes reach the file only as a whole (see WorkbookFile.h).
// Outside a transaction each change is written at once; inside one, on
// Commit. The caller serialises sessions on the same file between processes
// (the database layer holds the workbook's lock for a session's life). Within
// one process two sessions may be open on one file; each notices when the
// other has replaced the file: outside a transaction it reads the file again,
// and a transaction begun on the old content is not committed over the new.
#pragma once

#include "spreadsheet/engine/SqlExecutor.h"
#include "spreadsheet/xls/Workbook.h"

#include <optional>
#include <string>

namespace sqlengine {

class WorkbookSession {
 public:
  // Loads the workbook at utf8Path. A missing file is an error unless
  // createIfMissing; it is then written by the first change. Throws platform::Error.
  WorkbookSession(std::string utf8Path, bool createIfMissing, bool readOnly);
  // A workbook that still matches its file is kept for the next session on
  // that file, so that it need not be read and parsed again.
  ~WorkbookSession();
  WorkbookSession(const WorkbookSession&) = delete;
  WorkbookSession& operator=(const WorkbookSession&) = delete;

  // Runs SELECT * FROM t on the current content, uncommitted changes included.
  ResultTable Select(const std::u16string& statement);
  // The same, rows handed to `sink` one by one; returns the column names.
  std::vector<std::u16string> Select(const std::u16string& statement, const RowSink& sink);
  // The column names and row count of the SELECT, its values left unread.
  ResultShape SelectShape(const std::u16string& statement);

  // Runs one statement; a SELECT is run and its rows dropped. Returns the
  // number of rows written. Throws platform::Error; a refused statement changes
  // nothing, in memory or on disk.
  int Execute(const std::u16string& statement);

  bool InTransaction() const { return m_bInTransaction; }
  // False when a transaction is already active.
  bool Begin();
  // Writes the transaction's changes. False when no transaction is active.
  // Throws platform::Error when the file cannot be written; the transaction then
  // stays active and the file unchanged.
  bool Commit();
  // Drops the transaction's changes. False when no transaction is active.
  bool Rollback();

  const std::string& Path() const { return m_strPath; }

 private:
  void Reload();
  void ReloadIfReplaced();
  xls::Workbook& Book();

  struct FileIdentity {
    bool exists = false;
    unsigned long long device = 0, inode = 0, size = 0;
    long long modifiedNs = 0;
    bool operator==(const FileIdentity&) const = default;
  };
  FileIdentity Identify() const;
  void Save();

  // One workbook per process, the last one a session left behind, with the
  // identity of the file it equals.
  struct KeptBook {
    FileIdentity file;
    std::optional<xls::Workbook> book;
  };
  static KeptBook& Kept();
  static std::optional<xls::Workbook> TakeKept(const FileIdentity& file);
  static void Keep(const FileIdentity& file, xls::Workbook&& book);

  std::string m_strPath;
  bool m_bReadOnly;
  bool m_bFileExists = false;
  FileIdentity m_loaded;  // the file as it was when read or last written
  std::optional<xls::Workbook> m_book;
  bool m_bInTransaction = false;
  bool m_bChanged = false;
  bool m_bBroken = false;  // a change stopped part-way inside the transaction
};

}  // namespace sqlengine
