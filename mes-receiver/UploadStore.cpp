#include "mes-receiver/UploadStore.h"

#include <sqlite3.h>

#include <ctime>
#include <memory>
#include <stdexcept>

namespace receiver {

namespace {

constexpr char kCreate[] =
    "CREATE TABLE IF NOT EXISTS uploads ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " received_at TEXT NOT NULL,"
    " OrderNo TEXT, SerialNumber TEXT, MacList TEXT, ComponentSnList TEXT, DealResult TEXT,"
    " BugType TEXT, BugReason TEXT, TempColumn1 BLOB, TempColumn2 BLOB, TempColumn3 BLOB,"
    " WorkStation TEXT, ToolType TEXT, Recorder TEXT, SystemType INTEGER NOT NULL, Version TEXT,"
    " raw_request BLOB NOT NULL)";

std::string LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

}  // namespace

UploadStore::UploadStore(const std::string& strPath, bool bReadOnly) : m_strPath(strPath) {
  const int flags = bReadOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  if (sqlite3_open_v2(strPath.c_str(), &m_db, flags | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
    std::string why = m_db ? sqlite3_errmsg(m_db) : "out of memory";
    sqlite3_close(m_db);
    m_db = nullptr;
    throw std::runtime_error("cannot open the database " + strPath + ": " + why);
  }
  sqlite3_busy_timeout(m_db, 5000);
  if (bReadOnly) return;
  const char* setup[] = {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", kCreate};
  for (const char* sql : setup) {
    char* err = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
      std::string why = err ? err : "unknown error";
      sqlite3_free(err);
      sqlite3_close(m_db);
      m_db = nullptr;
      throw std::runtime_error("cannot prepare the database " + strPath + ": " + why);
    }
  }
}

UploadStore::~UploadStore() {
  sqlite3_close(m_db);
}

std::int64_t UploadStore::Add(const UploadCall& call, const std::string& strRawRequest) {
  std::lock_guard lock(m_mutex);
  sqlite3_stmt* raw = nullptr;
  const char* sql =
      "INSERT INTO uploads (received_at, OrderNo, SerialNumber, MacList, ComponentSnList, DealResult, BugType,"
      " BugReason, TempColumn1, TempColumn2, TempColumn3, WorkStation, ToolType, Recorder, SystemType, Version,"
      " raw_request) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
  if (sqlite3_prepare_v2(m_db, sql, -1, &raw, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string("cannot store the call: ") + sqlite3_errmsg(m_db));
  Statement st(raw, &sqlite3_finalize);
  const std::string now = LocalNow();
  sqlite3_bind_text(raw, 1, now.c_str(), -1, SQLITE_TRANSIENT);
  for (std::size_t i = 0; i < kFieldNames.size(); ++i) {
    const int slot = static_cast<int>(i) + 2;
    if (i == kSystemTypeField) {
      sqlite3_bind_int(raw, slot, call.nSystemType);
    } else if (!call.values[i]) {
      sqlite3_bind_null(raw, slot);
    } else if (IsBlobField(i)) {
      sqlite3_bind_blob(raw, slot, call.values[i]->data(), static_cast<int>(call.values[i]->size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_text(raw, slot, call.values[i]->data(), static_cast<int>(call.values[i]->size()), SQLITE_TRANSIENT);
    }
  }
  sqlite3_bind_blob(raw, 17, strRawRequest.data(), static_cast<int>(strRawRequest.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(raw) != SQLITE_DONE)
    throw std::runtime_error(std::string("cannot store the call: ") + sqlite3_errmsg(m_db));
  return sqlite3_last_insert_rowid(m_db);
}

std::vector<StoredUpload> UploadStore::All() {
  std::lock_guard lock(m_mutex);
  std::vector<StoredUpload> rows;
  sqlite3_stmt* raw = nullptr;
  const char* sql =
      "SELECT id, received_at, OrderNo, SerialNumber, MacList, ComponentSnList, DealResult, BugType, BugReason,"
      " TempColumn1, TempColumn2, TempColumn3, WorkStation, ToolType, Recorder, SystemType, Version, raw_request"
      " FROM uploads ORDER BY id";
  if (sqlite3_prepare_v2(m_db, sql, -1, &raw, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot read " + m_strPath + ": " + sqlite3_errmsg(m_db));
  Statement st(raw, &sqlite3_finalize);
  auto bytes = [raw](int col) {
    const void* p = sqlite3_column_blob(raw, col);
    return std::string(static_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(raw, col)));
  };
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    StoredUpload row;
    row.nId = sqlite3_column_int64(raw, 0);
    row.strReceivedAt = bytes(1);
    for (std::size_t i = 0; i < kFieldNames.size(); ++i) {
      const int col = static_cast<int>(i) + 2;
      if (i == kSystemTypeField)
        row.call.nSystemType = sqlite3_column_int(raw, col);
      else if (sqlite3_column_type(raw, col) != SQLITE_NULL)
        row.call.values[i] = bytes(col);
    }
    row.strRawRequest = bytes(17);
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) throw std::runtime_error("cannot read " + m_strPath + ": " + sqlite3_errmsg(m_db));
  return rows;
}

}  // namespace receiver
