// A station's outbox: the file locked against other stations, the saving
// thread's connection to it and the forwarder with its background worker.
// Every report is committed before its first attempt and stays until the MES
// took it (or refused it, or a technician dropped it).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "results/MesDelivery.h"
#include "results/MesOutboxForwarder.h"
#include "results/MesOutboxLock.h"
#include "results/MesOutboxStore.h"

namespace results {

class MesOutbox {
 public:
  // Locks, opens (creating it when missing) and checks the file, then starts
  // the worker, which sends what an earlier run left pending. Throws
  // platform::Error saying why the file cannot be used.
  explicit MesOutbox(const std::filesystem::path& file, MesForwarderOptions options = {});
  ~MesOutbox();  // the worker stops first

  // Commits the report durably (platform::Error when that failed: nothing was
  // stored) and returns its id.
  std::int64_t Commit(const MesUploadValues& values, const std::string& strUrl);
  // Sends pending reports oldest first through report nId (see
  // MesOutboxForwarder::DeliverThrough).
  MesDeliveryOutcome DeliverThrough(std::int64_t nId);

  MesOutboxCounts Counts();
  MesOutboxForwarder& Forwarder() { return m_forwarder; }

 private:
  MesOutboxLock m_lock;    // first taken, last released
  MesOutboxStore m_store;  // the saving thread's connection
  MesOutboxForwarder m_forwarder;
};

}  // namespace results
