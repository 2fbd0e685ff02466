#include "results/MesOutboxLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Error.h"

namespace results {

std::filesystem::path MesOutboxLock::SidecarOf(const std::filesystem::path& outboxFile) {
  // Beside the real file, so that a second station reaching it through a
  // symbolic link or another relative path meets the same sidecar.
  std::error_code ec;
  std::filesystem::path sidecar = std::filesystem::weakly_canonical(outboxFile, ec);
  if (ec) sidecar = outboxFile;
  sidecar += ".lock";
  return sidecar;
}

MesOutboxLock::MesOutboxLock(const std::filesystem::path& outboxFile) {
  const std::filesystem::path sidecar = SidecarOf(outboxFile);
  m_fd = ::open(sidecar.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (m_fd < 0) {
    throw platform::Error(sidecar.string() + ": cannot be made: " + std::strerror(errno));
  }
  if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    char holder[256] = {};
    const ssize_t n = ::pread(m_fd, holder, sizeof holder - 1, 0);
    std::string who = n > 0 ? std::string(holder, static_cast<std::size_t>(n)) : std::string();
    while (!who.empty() && (who.back() == '\n' || who.back() == '\0')) who.pop_back();
    ::close(m_fd);
    m_fd = -1;
    if (err == EWOULDBLOCK) {
      throw platform::Error(outboxFile.string() + ": already in use by another station" +
                            (who.empty() ? std::string() : " (" + who + ")"));
    }
    throw platform::Error(sidecar.string() + ": cannot be locked: " + std::strerror(err));
  }
  char host[128] = {};
  ::gethostname(host, sizeof host - 1);
  const std::string me = "process " + std::to_string(::getpid()) + " on " + host + "\n";
  if (::ftruncate(m_fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(m_fd, me.data(), me.size(), 0);
  }
}

MesOutboxLock::~MesOutboxLock() {
  if (m_fd >= 0) ::close(m_fd);  // closing the only descriptor releases the lock
}

}  // namespace results
