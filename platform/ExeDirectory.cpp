#include "platform/ExeDirectory.h"

#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/TextCodec.h"

namespace {

std::mutex& OverrideMutex() {
  static std::mutex m;
  return m;
}

std::optional<std::string>& Override() {
  static std::optional<std::string> dir;
  return dir;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

// readlink does not say how long the link is; grow until it fits.
std::optional<std::string> ReadLink(const char* link) {
  std::vector<char> buf(256);
  for (;;) {
    ssize_t n = ::readlink(link, buf.data(), buf.size());
    if (n < 0) return std::nullopt;
    if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

std::string CurrentDirectory() {
  std::vector<char> buf(256);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return ".";
    buf.resize(buf.size() * 2);
  }
  return std::string(buf.data());
}

}  // namespace

std::string CBasic::GetExeDirectory() {
  {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    if (Override()) return *Override();
  }
  std::string nativeDir;
  if (std::optional<std::string> exe = ReadLink("/proc/self/exe"); exe && !exe->empty() && exe->front() == '/') {
    nativeDir = exe->substr(0, exe->rfind('/'));
  } else {
    nativeDir = CurrentDirectory();
  }
  // File names on Linux are UTF-8; the module's texts are GBK.
  return platform::Utf8ToGbk(WithoutTrailingSeparators(nativeDir));
}

namespace platform {

void SetExeDirectoryOverride(const std::string& gbkDirectory) {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  Override() = WithoutTrailingSeparators(gbkDirectory);
}

void ClearExeDirectoryOverride() {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  Override().reset();
}

ScopedExeDirectoryOverride::ScopedExeDirectoryOverride(const std::string& gbkDirectory) {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  m_bHadPrevious = Override().has_value();
  if (m_bHadPrevious) m_strPrevious = *Override();
  Override() = WithoutTrailingSeparators(gbkDirectory);
}

ScopedExeDirectoryOverride::~ScopedExeDirectoryOverride() {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  if (m_bHadPrevious) {
    Override() = m_strPrevious;
  } else {
    Override().reset();
  }
}

}  // namespace platform
