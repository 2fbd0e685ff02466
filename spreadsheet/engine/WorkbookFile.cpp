#include "spreadsheet/engine/WorkbookFile.h"

#include "platform/FileOwnership.h"
#include "platform/TextCodec.h"
#include "platform/Error.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sqlengine {
namespace {

std::function<void(const std::string&)>& BeforeReplaceHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

std::string Shown(const std::string& utf8Path) {
  return "\"" + platform::Utf8ToGbk(utf8Path) + "\"";
}

struct Parts {
  std::string dir;
  std::string name;
};

Parts Split(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Hidden, so that nobody mistakes a half-written file for a workbook.
std::string TempPrefix(const std::string& name) {
  return "." + name + ".new-";
}

// The file the name finally refers to, so that replacing it keeps a symbolic
// link in place.
std::string ResolveTarget(const std::string& path) {
  char resolved[PATH_MAX];
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && realpath(path.c_str(), resolved) != nullptr)
    return resolved;
  return path;
}

void SyncFolder(const std::string& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

}  // namespace

xls::Workbook LoadWorkbookFile(const std::string& utf8Path) {
  try {
    return xls::Workbook::Load(utf8Path);
  } catch (const platform::Error& e) {
    throw platform::Error("Cannot read the workbook " + Shown(utf8Path) + ": " + e.what());
  }
}

void SaveWorkbookFileAtomically(const xls::Workbook& book, const std::string& utf8Path) {
  const std::string target = ResolveTarget(utf8Path);
  const Parts parts = Split(target);
  const std::string failed = "Cannot write the workbook " + Shown(utf8Path) + " (the previous file is unchanged): ";

  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = parts.dir + "/" + TempPrefix(parts.name) + std::to_string(getpid()) + "-" + std::to_string(counter++);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    int err = errno;
    throw platform::Error(failed + "cannot create a file in its folder: " + std::strerror(err));
  }
  // The new file takes the old one's owner, group and permissions, or the
  // commit fails: silently giving a shared workbook to this process's user
  // would lock the other stations of its group out of it.
  struct stat old;
  if (stat(target.c_str(), &old) == 0) {
    std::string refused = platform::CopyOwnerAndMode(fd, old);
    if (!refused.empty()) {
      close(fd);
      unlink(temp.c_str());
      throw platform::Error(failed + platform::Utf8ToGbk(refused));
    }
  }
  close(fd);

  try {
    book.Save(temp);
  } catch (const platform::Error& e) {
    unlink(temp.c_str());
    throw platform::Error(failed + e.what());
  }

  fd = open(temp.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || fsync(fd) != 0) {
    int err = errno;
    if (fd >= 0) close(fd);
    unlink(temp.c_str());
    throw platform::Error(failed + "cannot flush the new file to the disk: " + std::strerror(err));
  }
  close(fd);

  if (BeforeReplaceHook()) BeforeReplaceHook()(temp);

  if (rename(temp.c_str(), target.c_str()) != 0) {
    int err = errno;
    unlink(temp.c_str());
    throw platform::Error(failed + "cannot replace it: " + std::strerror(err));
  }
  SyncFolder(parts.dir);
}

void RemoveStaleTemporaryFiles(const std::string& utf8Path) {
  const Parts parts = Split(ResolveTarget(utf8Path));
  const std::string prefix = TempPrefix(parts.name);
  DIR* dir = opendir(parts.dir.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) == 0) unlinkat(dirfd(dir), name.c_str(), 0);
  }
  closedir(dir);
}

void SetBeforeReplaceHookForTesting(std::function<void(const std::string&)> hook) {
  BeforeReplaceHook() = std::move(hook);
}

}  // namespace sqlengine
