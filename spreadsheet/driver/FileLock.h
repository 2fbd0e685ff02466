// Exclusive lock on a file shared by several processes, e.g. a workbook that
// two test stations append to at the same time.
//
// The lock is taken with flock() on a sidecar file "<path>.lock" beside the
// file, because writers replace the file itself by renaming a new copy over it
// (a lock on the old inode would not exclude the next writer). The sidecar is
// left in place on release: deleting it would let a waiter lock an unlinked
// file while a newcomer locks a fresh one.
//
// The lock is handed over in turn: a process that is refused queues, and a
// process that releases the lock and asks for it again waits behind those
// already waiting, so none of them is starved while the lock keeps changing
// hands. The queue lives in byte-range locks on the sidecar, which the kernel
// drops when a process dies, so a killed waiter or holder blocks nobody.
//
// The lock is re-entrant within one process: taking it again for the same file
// (same canonical path) only counts up, so an object can hold it for its whole
// life while the connections it opens take it again. All threads of a process
// share the holding. A child made by fork() does not inherit the parent's
// holding; it waits for the lock like any other process.
#pragma once

#include <chrono>
#include <string>

#include "platform/Error.h"

namespace spreadsheet {

class FileLock {
 public:
  static constexpr std::chrono::milliseconds kDefaultWait{10000};

  // path: the locked file as the module's GBK text (converted to the file
  // system's UTF-8); the file itself need not exist, its folder must.
  // Waits at most `wait` for another process to release the lock, then
  // throws platform::Error naming the file (GBK text); so does a sidecar file
  // that cannot be made.
  explicit FileLock(const std::string& path, std::chrono::milliseconds wait = kDefaultWait);
  ~FileLock();

  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Releases this holding now (the process keeps the lock while other
  // holdings of the same file remain). Safe to call twice.
  void Release() noexcept;

  bool Held() const { return !m_strKey.empty(); }

  // Number of holdings this process has on the file at `path` (0: not held).
  static int HoldCount(const std::string& path);

  // Number of lock requests, of any process, queued for the file at `path`
  // and waiting for their turn (0 when nobody waits).
  static int QueuedWaiters(const std::string& path);

 private:
  std::string m_strKey;  // canonical UTF-8 path of the locked file; empty when released
};

}  // namespace spreadsheet
