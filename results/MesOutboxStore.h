// The outbox file: a SQLite database (WAL, synchronous FULL) holding every MES
// report of a station from before its first attempt until it was delivered,
// refused or dropped. One object is one connection; use it from one thread.
// Times are seconds since the epoch; paths are file-system (UTF-8) paths.
// A file that cannot be used (not an outbox, corrupt, unwritable, locked by a
// statement that did not finish in time...) throws platform::Error, whose
// what() says which file and why.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "results/MesUploadValues.h"

struct sqlite3;

namespace results {

// Stored as numbers; never renumber.
enum class MesOutboxState : int { Pending = 0, Delivered = 1, Refused = 2, Dropped = 3 };
const char* MesOutboxStateName(MesOutboxState state);

struct MesOutboxReport {
  std::int64_t nId = 0;  // grows with every report: the sending order
  std::time_t tCreated = 0;
  std::string strEndpoint;  // the URL the report was made for
  MesUploadValues values;
  MesOutboxState state = MesOutboxState::Pending;
  int nAttempts = 0;
  std::time_t tLastAttempt = 0;  // 0: never tried
  std::time_t tDone = 0;         // delivered / refused / dropped at; 0 while pending
  std::string strReason;         // why the last attempt failed or was refused (UTF-8)
};

struct MesOutboxCounts {
  int nPending = 0;
  int nRefused = 0;
  int nDeliveredToday = 0;  // delivered since local midnight
};

class MesOutboxStore {
 public:
  enum class OpenMode { CreateIfMissing, ExistingOnly };

  // Opens the file, checks it is an outbox (or makes a new one) and reads
  // every page once (quick check), so a damaged file is found here.
  explicit MesOutboxStore(const std::filesystem::path& file, OpenMode mode = OpenMode::CreateIfMissing);
  ~MesOutboxStore();
  MesOutboxStore(const MesOutboxStore&) = delete;
  MesOutboxStore& operator=(const MesOutboxStore&) = delete;

  // Commits a pending report durably and returns its id. A pending report
  // with exactly the same values and endpoint is not stored twice: its id is
  // returned (a host saving the same unit again after a failure).
  std::int64_t Add(const MesUploadValues& values, const std::string& strEndpoint, std::time_t now);

  std::optional<MesOutboxReport> OldestPending();
  // The oldest pending report whose endpoint `wanted` accepts.
  std::optional<MesOutboxReport> OldestPending(const std::function<bool(const std::string& endpoint)>& wanted);
  std::optional<MesOutboxReport> Find(std::int64_t nId);
  // Reports in id order; all states when `state` is empty.
  std::vector<MesOutboxReport> List(std::optional<MesOutboxState> state = std::nullopt);

  // Outcomes of an attempt. Losing one of these to a power cut only means
  // the report is sent once more, so they are not flushed on their own (the
  // next Add flushes them).
  void MarkDelivered(std::int64_t nId, std::time_t now);
  void MarkRefused(std::int64_t nId, const std::string& strReason, std::time_t now);
  void MarkFailed(std::int64_t nId, const std::string& strReason, std::time_t now);

  // A technician's decisions. Retry: a refused or dropped report is pending
  // again. Drop: a pending or refused report is never sent. False when the
  // report does not exist or is in another state.
  bool Retry(std::int64_t nId);
  bool Drop(std::int64_t nId, std::time_t now);

  // Deletes delivered and dropped reports finished before `olderThan`;
  // returns how many went.
  int Prune(std::time_t olderThan);

  MesOutboxCounts Counts(std::time_t now);

  const std::filesystem::path& File() const { return m_file; }

 private:
  class Statement;
  void Exec(const char* sql);
  [[noreturn]] void Fail(const std::string& what) const;
  void SetState(std::int64_t nId, MesOutboxState state, const std::string* reason, std::time_t now, bool attempt);

  std::filesystem::path m_file;
  sqlite3* m_db = nullptr;
};

}  // namespace results
