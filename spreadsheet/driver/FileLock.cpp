#include "spreadsheet/driver/FileLock.h"

#include "platform/FileOwnership.h"
#include "platform/TextCodec.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace spreadsheet {

using platform::CopyOwnerAndModeWherePossible;
using platform::GbkToUtf8;
using platform::Utf8ToGbk;

namespace {

struct Holding {
  int fd = -1;
  int count = 0;
  pid_t owner = 0;  // a forked child must not count on its parent's holding
};

std::mutex& TableMutex() {
  static std::mutex m;
  return m;
}

std::map<std::string, Holding>& Table() {
  static std::map<std::string, Holding> table;
  return table;
}

std::string ErrnoText(int err) {
  return std::strerror(err);
}

// Canonical form of a path whose file may not exist yet: the folder resolved
// (symbolic links, "..") and the file name appended. A symbolic link as the
// file itself is resolved too, so both names of one workbook share one lock.
std::string CanonicalKey(const std::string& utf8Path) {
  char resolved[PATH_MAX];
  struct stat st;
  if (!utf8Path.empty() && utf8Path.back() != '/' && realpath(utf8Path.c_str(), resolved) != nullptr &&
      stat(resolved, &st) == 0 && !S_ISDIR(st.st_mode))
    return resolved;
  std::string dir = ".";
  std::string name = utf8Path;
  auto slash = utf8Path.find_last_of('/');
  if (slash != std::string::npos) {
    dir = slash == 0 ? "/" : utf8Path.substr(0, slash);
    name = utf8Path.substr(slash + 1);
  }
  if (name.empty() || name == "." || name == "..")
    throw platform::Error(Utf8ToGbk("Cannot lock \"" + utf8Path + "\": not a file name"));
  if (realpath(dir.c_str(), resolved) == nullptr) {
    int err = errno;
    throw platform::Error(Utf8ToGbk("Cannot lock \"" + utf8Path + "\": folder \"" + dir + "\": " + ErrnoText(err)));
  }
  std::string key = resolved;
  if (key != "/") key += '/';
  return key + name;
}

// Fair hand-over. flock() alone lets a process that releases the lock take
// it again before a waiter notices, so a station exporting back to back can
// starve another one. Waiters therefore queue on the sidecar with tickets,
// using open-file-description byte-range locks (independent of the flock, and
// dropped by the kernel when their holder dies, also by SIGKILL):
//   bytes [0, 8) hold the next ticket number; a lock on byte 0 guards drawing;
//   byte kQueueBase + t is locked by the waiter holding ticket t until it has
//   the flock.
// A waiter tries the flock only while no older ticket is held. A dead waiter's
// ticket vanishes with it; a live one that stops moving delays the others at
// most until their own bounded wait ends.
constexpr off_t kDispenser = 0;
constexpr off_t kQueueBase = off_t(1) << 32;
constexpr std::uint64_t kTicketLimit = std::uint64_t(1) << 40;  // a larger stored number is reset to 0

bool RangeLock(int fd, short type, off_t start, off_t length) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = start;
  range.l_len = length;
  while (fcntl(fd, F_OFD_SETLK, &range) != 0)
    if (errno != EINTR) return false;
  return true;
}

// The first lock held by another open file description inside
// [start, start + length), or its start as -1 when there is none (or the file
// system has no range locks).
off_t FirstLockedByOthers(int fd, off_t start, off_t length) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = start;
  probe.l_len = length;
  if (length <= 0 || fcntl(fd, F_OFD_GETLK, &probe) != 0 || probe.l_type == F_UNLCK) return -1;
  return probe.l_start;
}

// Draws the next ticket and holds its byte. None when the queue cannot be
// used (no range locks, the counter cannot be written, the dispenser stays
// taken until the deadline): the caller then waits without a place in line.
std::optional<std::uint64_t> DrawTicket(int fd, std::chrono::steady_clock::time_point deadline) {
  while (!RangeLock(fd, F_WRLCK, kDispenser, 1)) {
    if (errno != EAGAIN && errno != EACCES) return std::nullopt;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  unsigned char bytes[8] = {};
  std::uint64_t ticket = 0;
  if (pread(fd, bytes, sizeof bytes, 0) == static_cast<ssize_t>(sizeof bytes))
    for (int i = 7; i >= 0; --i) ticket = ticket << 8 | bytes[i];
  if (ticket >= kTicketLimit) ticket = 0;
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>((ticket + 1) >> (8 * i));
  bool drawn = pwrite(fd, bytes, sizeof bytes, 0) == static_cast<ssize_t>(sizeof bytes) &&
               RangeLock(fd, F_WRLCK, kQueueBase + static_cast<off_t>(ticket), 1);
  RangeLock(fd, F_UNLCK, kDispenser, 1);
  if (!drawn) return std::nullopt;
  return ticket;
}

bool OlderTicketHeld(int fd, std::uint64_t ticket) {
  return FirstLockedByOthers(fd, kQueueBase, static_cast<off_t>(ticket)) >= 0;
}

// The sidecar, made like the locked file (owner and group as far as this
// process may, its read and write bits) when this call creates it, so that
// every station of the file's group can open it. flock needs no write
// access: a sidecar this process may only read still serves.
int OpenSidecar(const std::string& lockPath, const std::string& lockedPath) {
  int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    struct stat locked;
    if (stat(lockedPath.c_str(), &locked) == 0) {
      locked.st_mode &= 0666;
      CopyOwnerAndModeWherePossible(fd, locked);
    }
    return fd;
  }
  fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EACCES) fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
  return fd;
}

}  // namespace

FileLock::FileLock(const std::string& path, std::chrono::milliseconds wait) {
  std::string utf8 = GbkToUtf8(path);
  std::string key = CanonicalKey(utf8);
  {
    std::lock_guard<std::mutex> guard(TableMutex());
    auto it = Table().find(key);
    if (it != Table().end()) {
      if (it->second.owner == getpid()) {
        ++it->second.count;
        m_strKey = key;
        return;
      }
      // Inherited through fork(): the descriptor shares the parent's lock,
      // so it proves nothing here; drop it without unlocking.
      close(it->second.fd);
      Table().erase(it);
    }
  }

  std::string lockPath = key + ".lock";
  int fd = OpenSidecar(lockPath, utf8);
  if (fd < 0) {
    int err = errno;
    throw platform::Error(Utf8ToGbk("Cannot create the lock file \"" + lockPath + "\": " + ErrnoText(err)));
  }

  // Polling keeps the wait bounded without signals or a helper thread.
  auto deadline = std::chrono::steady_clock::now() + wait;
  auto pause = std::chrono::milliseconds(1);
  std::optional<std::uint64_t> ticket;
  bool queued = false;  // a ticket was asked for (it may not have been drawn)
  for (;;) {
    // Before queueing, try only when nobody queues: an uncontended lock
    // costs one flock call. A waiter without a ticket (no range locks on
    // this file system) tries every time, as plain flock waiters do.
    bool mayTry =
        ticket ? !OlderTicketHeld(fd, *ticket) : queued || FirstLockedByOthers(fd, kQueueBase, off_t(kTicketLimit)) < 0;
    if (mayTry && flock(fd, LOCK_EX | LOCK_NB) == 0) break;
    int err = mayTry ? errno : EWOULDBLOCK;
    if (err != EWOULDBLOCK && err != EINTR) {
      close(fd);
      throw platform::Error(Utf8ToGbk("Cannot lock \"" + utf8 + "\": " + ErrnoText(err)));
    }
    if (!queued) {
      ticket = DrawTicket(fd, deadline);
      queued = true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      close(fd);
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wait).count();
      throw platform::Error(Utf8ToGbk("The file \"" + utf8 + "\" is in use by another process (waited " +
                                      std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) +
                                      " s for it to be released)"));
    }
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(8)) pause *= 2;
  }
  if (ticket) RangeLock(fd, F_UNLCK, kQueueBase + static_cast<off_t>(*ticket), 1);  // the next in line may go

  std::lock_guard<std::mutex> guard(TableMutex());
  auto& holding = Table()[key];
  if (holding.count > 0 && holding.owner == getpid()) {
    // Another thread of this process took it meanwhile (cannot happen with
    // flock on separate descriptors, but keep the count honest).
    close(fd);
    ++holding.count;
  } else {
    holding = Holding{fd, 1, getpid()};
  }
  m_strKey = key;
}

FileLock::~FileLock() {
  Release();
}

FileLock::FileLock(FileLock&& other) noexcept : m_strKey(std::move(other.m_strKey)) {
  other.m_strKey.clear();
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    m_strKey = std::move(other.m_strKey);
    other.m_strKey.clear();
  }
  return *this;
}

void FileLock::Release() noexcept {
  if (m_strKey.empty()) return;
  std::lock_guard<std::mutex> guard(TableMutex());
  auto it = Table().find(m_strKey);
  m_strKey.clear();
  if (it == Table().end() || it->second.owner != getpid()) return;  // the holding belonged to the parent of a fork
  if (--it->second.count == 0) {
    flock(it->second.fd, LOCK_UN);
    close(it->second.fd);
    Table().erase(it);
  }
}

int FileLock::HoldCount(const std::string& path) {
  std::string key;
  try {
    key = CanonicalKey(GbkToUtf8(path));
  } catch (const platform::Error&) {
    return 0;
  }
  std::lock_guard<std::mutex> guard(TableMutex());
  auto it = Table().find(key);
  if (it == Table().end() || it->second.owner != getpid()) return 0;
  return it->second.count;
}

int FileLock::QueuedWaiters(const std::string& path) {
  std::string key;
  try {
    key = CanonicalKey(GbkToUtf8(path));
  } catch (const platform::Error&) {
    return 0;
  }
  int fd = open((key + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  int waiters = 0;
  const off_t end = kQueueBase + off_t(kTicketLimit);
  for (off_t at = kQueueBase; (at = FirstLockedByOthers(fd, at, end - at)) >= 0; ++at) ++waiters;
  close(fd);
  return waiters;
}

}  // namespace spreadsheet
