// The receiver's durable record of accepted calls: one SQLite row per call
// (write-ahead log, synchronous commits), written before the call is answered.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "mes-receiver/UploadCall.h"

struct sqlite3;

namespace receiver {

struct StoredUpload {
  std::int64_t nId = 0;
  std::string strReceivedAt;  // local time, "YYYY-MM-DD HH:MM:SS"
  UploadCall call;
  std::string strRawRequest;
};

class UploadStore {
 public:
  // Opens or creates the database; throws std::runtime_error with a message
  // that names the file when it cannot.
  explicit UploadStore(const std::string& strPath, bool bReadOnly = false);
  ~UploadStore();
  UploadStore(const UploadStore&) = delete;
  UploadStore& operator=(const UploadStore&) = delete;

  // Returns the new row's id; throws std::runtime_error when it was not stored.
  std::int64_t Add(const UploadCall& call, const std::string& strRawRequest);
  std::vector<StoredUpload> All();

 private:
  std::mutex m_mutex;
  sqlite3* m_db = nullptr;
  std::string m_strPath;
};

}  // namespace receiver
