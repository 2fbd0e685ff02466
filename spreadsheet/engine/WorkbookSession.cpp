#include "spreadsheet/engine/WorkbookSession.h"

#include "platform/TextCodec.h"
#include "platform/Error.h"
#include "spreadsheet/engine/WorkbookFile.h"

#include <mutex>
#include <sys/stat.h>

namespace sqlengine {
namespace {

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

WorkbookSession::WorkbookSession(std::string utf8Path, bool createIfMissing, bool readOnly)
    : m_strPath(std::move(utf8Path)), m_bReadOnly(readOnly) {
  if (m_strPath.empty()) throw platform::Error("No workbook path given (DBQ)");
  if (!FileExists(m_strPath) && !createIfMissing)
    throw platform::Error("The workbook \"" + platform::Utf8ToGbk(m_strPath) + "\" does not exist");
  Reload();
}

namespace {

std::mutex& KeptMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

// Keyed by device, inode, size and modification time: a file replaced or
// written by anyone since (another process included) no longer matches, and
// its workbook is read anew. Taking moves the workbook out, so two sessions
// never share one.
WorkbookSession::KeptBook& WorkbookSession::Kept() {
  static KeptBook kept;
  return kept;
}

std::optional<xls::Workbook> WorkbookSession::TakeKept(const FileIdentity& file) {
  std::lock_guard<std::mutex> lock(KeptMutex());
  auto& kept = Kept();
  std::optional<xls::Workbook> book;
  if (kept.book && kept.file == file) book = std::move(kept.book);
  kept.book.reset();
  return book;
}

void WorkbookSession::Keep(const FileIdentity& file, xls::Workbook&& book) {
  std::optional<xls::Workbook> old;
  {
    std::lock_guard<std::mutex> lock(KeptMutex());
    auto& kept = Kept();
    old = std::move(kept.book);
    kept.book.emplace(std::move(book));
    kept.file = file;
  }
  // `old` is freed here, outside the lock.
}

WorkbookSession::~WorkbookSession() {
  // Only a workbook equal to the file: no uncommitted or half-done change.
  if (!m_book || m_bBroken || (m_bInTransaction && m_bChanged) || !m_loaded.exists) return;
  try {
    if (Identify() == m_loaded) Keep(m_loaded, std::move(*m_book));
  } catch (...) {
  }
}

// When the file cannot be read again the session keeps no content at all, so
// that no later statement can write changes that were meant to be dropped.
void WorkbookSession::Reload() {
  m_book.reset();
  m_bChanged = false;
  m_bBroken = false;
  m_loaded = Identify();
  m_bFileExists = m_loaded.exists;
  if (!m_bFileExists) {
    m_book.emplace(xls::Workbook::CreateEmpty());
    return;
  }
  if (std::optional<xls::Workbook> kept = TakeKept(m_loaded))
    m_book.emplace(std::move(*kept));
  else
    m_book.emplace(LoadWorkbookFile(m_strPath));
}

WorkbookSession::FileIdentity WorkbookSession::Identify() const {
  FileIdentity id;
  struct stat st;
  if (stat(m_strPath.c_str(), &st) != 0) return id;
  id.exists = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = static_cast<unsigned long long>(st.st_size);
  id.modifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return id;
}

void WorkbookSession::ReloadIfReplaced() {
  if (!m_book || Identify() != m_loaded) Reload();
}

xls::Workbook& WorkbookSession::Book() {
  if (!m_book)
    throw platform::Error("The workbook \"" + platform::Utf8ToGbk(m_strPath) +
                          "\" could not be read again after a failure: close the connection and open it anew");
  return *m_book;
}

void WorkbookSession::Save() {
  if (Identify() != m_loaded)
    throw platform::Error("The workbook \"" + platform::Utf8ToGbk(m_strPath) +
                          "\" was changed by another connection meanwhile; nothing has been written");
  SaveWorkbookFileAtomically(Book(), m_strPath);
  m_loaded = Identify();
  m_bFileExists = true;
}

ResultTable WorkbookSession::Select(const std::u16string& statement) {
  ResultTable result;
  result.columns = Select(statement, [&](const std::vector<std::u16string>& values) { result.rows.push_back(values); });
  return result;
}

std::vector<std::u16string> WorkbookSession::Select(const std::u16string& statement, const RowSink& sink) {
  Statement parsed = ParseStatement(statement);
  const auto* select = std::get_if<sqlengine::Select>(&parsed);
  if (select == nullptr) throw platform::Error("A result set needs a SELECT statement");
  if (!m_bInTransaction) ReloadIfReplaced();
  return ExecuteSelect(Book(), *select, sink);
}

ResultShape WorkbookSession::SelectShape(const std::u16string& statement) {
  Statement parsed = ParseStatement(statement);
  const auto* select = std::get_if<sqlengine::Select>(&parsed);
  if (select == nullptr) throw platform::Error("A result set needs a SELECT statement");
  if (!m_bInTransaction) ReloadIfReplaced();
  return ExecuteSelectShape(Book(), *select);
}

int WorkbookSession::Execute(const std::u16string& statement) {
  Statement parsed = ParseStatement(statement);
  if (!m_bInTransaction) ReloadIfReplaced();
  if (const auto* select = std::get_if<sqlengine::Select>(&parsed)) {
    ExecuteSelect(Book(), *select);
    return 0;
  }
  if (m_bReadOnly) throw platform::Error("The connection is read-only (READONLY=FALSE allows changes)");
  if (m_bBroken)
    throw platform::Error("An earlier statement of this transaction failed part-way: roll the transaction back");

  int rows = 0;
  bool changing = false;
  try {
    rows = ExecuteChange(Book(), parsed, &changing);
  } catch (const platform::Error& e) {
    if (!changing) throw;  // refused before anything changed
    if (m_bInTransaction) {
      m_bBroken = true;
      throw platform::Error(std::string("The statement failed part-way (") + e.what() +
                            "): roll the transaction back; nothing has been written");
    }
    Reload();
    throw platform::Error(std::string("The statement failed (") + e.what() + "); nothing has been written");
  }

  if (m_bInTransaction) {
    m_bChanged = true;
    return rows;
  }
  try {
    Save();
  } catch (const platform::Error&) {
    Reload();  // memory goes back to what the file holds
    throw;
  }
  return rows;
}

bool WorkbookSession::Begin() {
  if (m_bInTransaction) return false;
  ReloadIfReplaced();
  m_bInTransaction = true;
  m_bChanged = false;
  m_bBroken = false;
  return true;
}

bool WorkbookSession::Commit() {
  if (!m_bInTransaction) return false;
  if (m_bBroken)
    throw platform::Error("The transaction cannot be committed: one of its statements failed part-way; roll it back");
  if (m_bChanged) Save();
  m_bInTransaction = false;
  m_bChanged = false;
  return true;
}

bool WorkbookSession::Rollback() {
  if (!m_bInTransaction) return false;
  m_bInTransaction = false;
  if (m_bChanged || m_bBroken) Reload();
  return true;
}

}  // namespace sqlengine
