#include "spreadsheet/DelimitedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace spreadsheet {

std::vector<std::string> SplitLines(std::string_view content) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos) {
      lines.emplace_back(content.substr(start));
      break;
    }
    std::size_t len = end - start;
    if (len != 0 && content[end - 1] == '\r') --len;
    lines.emplace_back(content.substr(start, len));
    start = end + 1;
  }
  return lines;
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  std::string content;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    content.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  lines = SplitLines(content);
  return true;
}

namespace {

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string TemporaryNameBeside(const std::string& path) {
  static std::mt19937_64 rng{std::random_device{}()};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(rng()));
  return path + suffix;
}

}  // namespace

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string data;
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  data.reserve(size);
  for (const std::string& line : lines) {
    data.append(line);
    data.append("\r\n");
  }

  // Keep the permissions of the file being replaced.
  mode_t mode = 0666;
  struct stat st {};
  bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists) {
    if (S_ISDIR(st.st_mode)) return false;
    mode = st.st_mode & 07777;
  }

  std::string temp = TemporaryNameBeside(path);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    // No room for a temporary file beside it (e.g. a read-only folder with a
    // writable file): write in place.
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, data);
    ok = (::close(fd) == 0) && ok;
    return ok;
  }
  if (exists) (void)::fchmod(fd, mode);
  bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace spreadsheet
