#include "results/MesOutboxStore.h"

#include <sqlite3.h>

#include <array>

namespace results {

namespace {

// "MESO": marks a file as this module's outbox.
constexpr int kApplicationId = 0x4D45534F;
constexpr int kSchemaVersion = 1;
constexpr int kBusyWaitMs = 5000;

constexpr const char* kCreateSchema =
    "CREATE TABLE reports("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"  // never reused: ids keep the sending order
    " created INTEGER NOT NULL, endpoint TEXT NOT NULL,"
    " state INTEGER NOT NULL, attempts INTEGER NOT NULL DEFAULT 0,"
    " last_attempt INTEGER NOT NULL DEFAULT 0, done INTEGER NOT NULL DEFAULT 0,"
    " reason TEXT NOT NULL DEFAULT '',"
    // The values, GBK bytes kept exactly as they were reported.
    " order_no BLOB NOT NULL, serial_number BLOB NOT NULL, mac_list BLOB NOT NULL,"
    " component_sn_list BLOB NOT NULL, deal_result BLOB NOT NULL, bug_type BLOB NOT NULL,"
    " bug_reason BLOB NOT NULL, temp_column BLOB NOT NULL, work_station BLOB NOT NULL,"
    " tool_type BLOB NOT NULL, recorder BLOB NOT NULL, system_type INTEGER NOT NULL,"
    " version BLOB NOT NULL);"
    "CREATE INDEX reports_by_state ON reports(state, id);";

constexpr const char* kColumns =
    "id, created, endpoint, state, attempts, last_attempt, done, reason, order_no, serial_number, mac_list,"
    " component_sn_list, deal_result, bug_type, bug_reason, temp_column, work_station, tool_type, recorder,"
    " system_type, version";

// The byte values in column order from order_no on, system_type apart.
template <class Values>
auto ValueTexts(Values& v) {
  return std::array{&v.strOrderNo,     &v.strSerialNumber, &v.strMacList,   &v.strComponentSnList,
                    &v.strDealResult,  &v.strBugType,      &v.strBugReason, &v.strTempColumn,
                    &v.strWorkStation, &v.strToolType,     &v.strRecorder,  &v.strVersion};
}

}  // namespace

const char* MesOutboxStateName(MesOutboxState state) {
  switch (state) {
    case MesOutboxState::Pending:
      return "pending";
    case MesOutboxState::Delivered:
      return "delivered";
    case MesOutboxState::Refused:
      return "refused";
    case MesOutboxState::Dropped:
      return "dropped";
  }
  return "unknown";
}

// A prepared statement bound by position, finalised on every path.
class MesOutboxStore::Statement {
 public:
  Statement(const MesOutboxStore& store, const std::string& sql) : m_store(store) {
    if (sqlite3_prepare_v2(store.m_db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK) store.Fail("prepare");
  }
  ~Statement() { sqlite3_finalize(m_stmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int at, std::int64_t n) { Check(sqlite3_bind_int64(m_stmt, at, n)); }
  void Bind(int at, const std::string& text) {
    Check(sqlite3_bind_text(m_stmt, at, text.data(), static_cast<int>(text.size()), SQLITE_STATIC));
  }
  // Texts go in as blobs: GBK bytes compare and come back byte for byte.
  void BindBytes(int at, const std::string& bytes) {
    Check(sqlite3_bind_blob(m_stmt, at, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC));
  }
  void BindValues(int first, const MesUploadValues& v) {
    int at = first;
    for (const std::string* text : ValueTexts(v)) {
      if (at == first + 11) Bind(at++, static_cast<std::int64_t>(v.nSystemType));  // before version
      BindBytes(at++, *text);
    }
  }

  // True while a row is there.
  bool Step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    m_store.Fail("step");
  }
  std::int64_t Int(int col) const { return sqlite3_column_int64(m_stmt, col); }
  std::string Bytes(int col) const {
    const void* p = sqlite3_column_blob(m_stmt, col);
    return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, col)))
             : std::string();
  }
  MesOutboxReport Report() const {
    MesOutboxReport r;
    r.nId = Int(0);
    r.tCreated = static_cast<std::time_t>(Int(1));
    r.strEndpoint = Bytes(2);
    r.state = static_cast<MesOutboxState>(Int(3));
    r.nAttempts = static_cast<int>(Int(4));
    r.tLastAttempt = static_cast<std::time_t>(Int(5));
    r.tDone = static_cast<std::time_t>(Int(6));
    r.strReason = Bytes(7);
    int col = 8;
    for (std::string* text : ValueTexts(r.values)) {
      if (col == 19) r.values.nSystemType = static_cast<std::int32_t>(Int(col++));
      *text = Bytes(col++);
    }
    return r;
  }

 private:
  void Check(int rc) {
    if (rc != SQLITE_OK) m_store.Fail("bind");
  }
  const MesOutboxStore& m_store;
  sqlite3_stmt* m_stmt = nullptr;
};

MesOutboxStore::MesOutboxStore(const std::filesystem::path& file, OpenMode mode) : m_file(file) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (mode == OpenMode::CreateIfMissing) flags |= SQLITE_OPEN_CREATE;
  const int rc = sqlite3_open_v2(file.c_str(), &m_db, flags, nullptr);
  try {
    if (rc != SQLITE_OK) Fail("open");
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyWaitMs);

    Exec("BEGIN IMMEDIATE");  // a new file gets its schema from one opener only
    std::int64_t appId = 0, tables = 0;
    {
      Statement s(*this, "PRAGMA application_id");
      if (s.Step()) appId = s.Int(0);
    }
    {
      Statement s(*this, "SELECT count(*) FROM sqlite_schema");
      if (s.Step()) tables = s.Int(0);
    }
    if (appId == 0 && tables == 0 && mode == OpenMode::CreateIfMissing) {
      Exec(kCreateSchema);
      Exec(("PRAGMA application_id=" + std::to_string(kApplicationId)).c_str());
      Exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
    } else if (appId != kApplicationId) {
      Exec("ROLLBACK");
      throw platform::Error(m_file.string() + ": not an MES outbox file");
    } else {
      Statement s(*this, "PRAGMA user_version");
      if (!s.Step() || s.Int(0) != kSchemaVersion) {
        Exec("ROLLBACK");
        throw platform::Error(m_file.string() + ": MES outbox of an unknown version");
      }
    }
    Exec("COMMIT");

    {
      Statement s(*this, "PRAGMA journal_mode=WAL");
      if (!s.Step() || s.Bytes(0) != "wal") throw platform::Error(m_file.string() + ": cannot switch to WAL");
    }
    Exec("PRAGMA synchronous=FULL");
    {
      Statement s(*this, "PRAGMA quick_check");
      if (!s.Step() || s.Bytes(0) != "ok") throw platform::Error(m_file.string() + ": damaged (" + s.Bytes(0) + ")");
    }
  } catch (...) {
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    throw;
  }
}

MesOutboxStore::~MesOutboxStore() {
  sqlite3_close_v2(m_db);
}

void MesOutboxStore::Fail(const std::string& what) const {
  std::string detail = m_db ? sqlite3_errmsg(m_db) : "out of memory";
  throw platform::Error(m_file.string() + ": " + what + ": " + detail);
}

void MesOutboxStore::Exec(const char* sql) {
  if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
}

std::int64_t MesOutboxStore::Add(const MesUploadValues& values, const std::string& strEndpoint, std::time_t now) {
  Exec("BEGIN IMMEDIATE");
  try {
    std::int64_t id = 0;
    {
      Statement same(*this,
                     "SELECT id FROM reports WHERE state=0 AND endpoint=?1 AND order_no=?2 AND serial_number=?3"
                     " AND mac_list=?4 AND component_sn_list=?5 AND deal_result=?6 AND bug_type=?7"
                     " AND bug_reason=?8 AND temp_column=?9 AND work_station=?10 AND tool_type=?11"
                     " AND recorder=?12 AND system_type=?13 AND version=?14 LIMIT 1");
      same.Bind(1, strEndpoint);
      same.BindValues(2, values);
      if (same.Step()) id = same.Int(0);
    }
    if (id == 0) {
      Statement insert(*this,
                       "INSERT INTO reports(created, endpoint, state, order_no, serial_number, mac_list,"
                       " component_sn_list, deal_result, bug_type, bug_reason, temp_column, work_station,"
                       " tool_type, recorder, system_type, version)"
                       " VALUES(?1, ?2, 0, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)");
      insert.Bind(1, static_cast<std::int64_t>(now));
      insert.Bind(2, strEndpoint);
      insert.BindValues(3, values);
      insert.Step();
      id = sqlite3_last_insert_rowid(m_db);
    }
    Exec("COMMIT");  // synchronous FULL: on disk when this returns
    return id;
  } catch (...) {
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::optional<MesOutboxReport> MesOutboxStore::OldestPending() {
  Statement s(*this, std::string("SELECT ") + kColumns + " FROM reports WHERE state=0 ORDER BY id LIMIT 1");
  if (!s.Step()) return std::nullopt;
  return s.Report();
}

std::optional<MesOutboxReport> MesOutboxStore::OldestPending(
    const std::function<bool(const std::string& endpoint)>& wanted) {
  std::int64_t id = 0;
  {
    Statement s(*this, "SELECT id, endpoint FROM reports WHERE state=0 ORDER BY id");
    while (id == 0 && s.Step()) {
      if (wanted(s.Bytes(1))) id = s.Int(0);
    }
  }
  if (id == 0) return std::nullopt;
  return Find(id);
}

std::optional<MesOutboxReport> MesOutboxStore::Find(std::int64_t nId) {
  Statement s(*this, std::string("SELECT ") + kColumns + " FROM reports WHERE id=?1");
  s.Bind(1, nId);
  if (!s.Step()) return std::nullopt;
  return s.Report();
}

std::vector<MesOutboxReport> MesOutboxStore::List(std::optional<MesOutboxState> state) {
  Statement s(*this,
              std::string("SELECT ") + kColumns + " FROM reports" + (state ? " WHERE state=?1" : "") + " ORDER BY id");
  if (state) s.Bind(1, static_cast<std::int64_t>(*state));
  std::vector<MesOutboxReport> out;
  while (s.Step()) out.push_back(s.Report());
  return out;
}

void MesOutboxStore::SetState(std::int64_t nId, MesOutboxState state, const std::string* reason, std::time_t now,
                              bool attempt) {
  // Only the first fsync of a new report matters; an outcome lost to a power
  // cut sends the report once more.
  Exec("PRAGMA synchronous=NORMAL");
  try {
    Statement s(*this,
                "UPDATE reports SET state=?2, reason=coalesce(?3, reason),"
                " attempts=attempts+?4, last_attempt=CASE WHEN ?4 THEN ?5 ELSE last_attempt END,"
                " done=CASE WHEN ?2=0 THEN 0 ELSE ?5 END WHERE id=?1");
    s.Bind(1, nId);
    s.Bind(2, static_cast<std::int64_t>(state));
    if (reason) s.Bind(3, *reason);
    s.Bind(4, attempt ? 1 : 0);
    s.Bind(5, static_cast<std::int64_t>(now));
    s.Step();
  } catch (...) {
    sqlite3_exec(m_db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    throw;
  }
  Exec("PRAGMA synchronous=FULL");
}

void MesOutboxStore::MarkDelivered(std::int64_t nId, std::time_t now) {
  const std::string none;
  SetState(nId, MesOutboxState::Delivered, &none, now, true);
}

void MesOutboxStore::MarkRefused(std::int64_t nId, const std::string& strReason, std::time_t now) {
  SetState(nId, MesOutboxState::Refused, &strReason, now, true);
}

void MesOutboxStore::MarkFailed(std::int64_t nId, const std::string& strReason, std::time_t now) {
  SetState(nId, MesOutboxState::Pending, &strReason, now, true);
}

bool MesOutboxStore::Retry(std::int64_t nId) {
  Statement s(*this, "UPDATE reports SET state=0, done=0 WHERE id=?1 AND state IN (2, 3)");
  s.Bind(1, nId);
  s.Step();
  return sqlite3_changes(m_db) == 1;
}

bool MesOutboxStore::Drop(std::int64_t nId, std::time_t now) {
  Statement s(*this, "UPDATE reports SET state=3, done=?2 WHERE id=?1 AND state IN (0, 2)");
  s.Bind(1, nId);
  s.Bind(2, static_cast<std::int64_t>(now));
  s.Step();
  return sqlite3_changes(m_db) == 1;
}

int MesOutboxStore::Prune(std::time_t olderThan) {
  Statement s(*this, "DELETE FROM reports WHERE state IN (1, 3) AND done < ?1");
  s.Bind(1, static_cast<std::int64_t>(olderThan));
  s.Step();
  return sqlite3_changes(m_db);
}

MesOutboxCounts MesOutboxStore::Counts(std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  local.tm_hour = local.tm_min = local.tm_sec = 0;
  local.tm_isdst = -1;
  const std::time_t midnight = std::mktime(&local);

  Statement s(*this,
              "SELECT (SELECT count(*) FROM reports WHERE state=0), (SELECT count(*) FROM reports WHERE state=2),"
              " (SELECT count(*) FROM reports WHERE state=1 AND done>=?1)");
  s.Bind(1, static_cast<std::int64_t>(midnight));
  MesOutboxCounts c;
  if (s.Step()) {
    c.nPending = static_cast<int>(s.Int(0));
    c.nRefused = static_cast<int>(s.Int(1));
    c.nDeliveredToday = static_cast<int>(s.Int(2));
  }
  return c;
}

}  // namespace results
