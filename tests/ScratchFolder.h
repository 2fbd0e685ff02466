// A fresh private folder per test, removed with everything in it afterwards,
// plus the file and child-process helpers the workbook and spreadsheet tests share.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = "/tmp/monitor-test-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return m_path; }
  std::string File(const std::string& name) const { return m_path + "/" + name; }
  std::filesystem::path operator/(const std::string& name) const { return std::filesystem::path(m_path) / name; }

  // Names in the folder (or in `sub`), sorted.
  std::vector<std::string> Entries(const std::string& sub = "") const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(sub.empty() ? m_path : File(sub)))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string m_path;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A file of the repository's test data (tests/data), e.g. "xls/lo_two_sheets.xls".
// CTest names the folder; a test program started by hand from the source tree
// finds it there too.
inline std::string FixturePath(const std::string& relative) {
  const char* dir = std::getenv("MONITOR_FIXTURES_DIR");
  return std::string(dir ? dir : "tests/data") + "/" + relative;
}

// Starts `child` in a forked process that exits with its result (98 when it
// throws).
template <typename F>
pid_t SpawnChild(F child) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int code = 98;
    try {
      code = child();
    } catch (...) {
    }
    ::_exit(code);
  }
  return pid;
}

// Runs `child` in a forked process; its result is the exit code (an exception
// gives 98, a signal -1).
template <typename F>
int InChild(F child) {
  const pid_t pid = SpawnChild(child);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs child(0) ... child(n - 1) in n processes released at the same moment;
// true when every one of them exits with 0.
template <typename F>
bool InChildrenAtOnce(int n, F child) {
  int start[2];
  if (::pipe(start) != 0) return false;
  std::vector<pid_t> pids;
  for (int i = 0; i < n; ++i)
    pids.push_back(SpawnChild([&] {
      ::close(start[1]);
      char go;
      (void)!::read(start[0], &go, 1);
      return child(i);
    }));
  ::close(start[0]);
  ::close(start[1]);  // releases every child at once
  bool ok = true;
  for (pid_t pid : pids) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return ok;
}
