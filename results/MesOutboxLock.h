// Keeps a second station (or a second outbox object of this process) from
// using an outbox file: flock() on the sidecar "<outbox>.lock", held for the
// outbox's life and released by the system when the process ends, also by
// kill -9. flock belongs to the open file, so a second open in the same
// process is refused too. The sidecar names its holder (process, host) so the
// refusal can say who has it; it is left in place on release.
#pragma once

#include <filesystem>

namespace results {

class MesOutboxLock {
 public:
  // Throws platform::Error when another holder has the lock or the sidecar
  // cannot be made.
  explicit MesOutboxLock(const std::filesystem::path& outboxFile);
  ~MesOutboxLock();
  MesOutboxLock(const MesOutboxLock&) = delete;
  MesOutboxLock& operator=(const MesOutboxLock&) = delete;

  static std::filesystem::path SidecarOf(const std::filesystem::path& outboxFile);

 private:
  int m_fd = -1;
};

}  // namespace results
