#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/TextCodec.h"

namespace platform {
namespace {

std::string NativePath(const std::string& gbkPath) {
  return GbkToUtf8(gbkPath);
}

}  // namespace

bool CreateDirectoryIfMissing(const std::string& gbkPath) {
  const std::string path = NativePath(gbkPath);
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  struct stat st {};
  return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TextFileWriter::~TextFileWriter() {
  Close();
}

bool TextFileWriter::Create(const std::string& gbkPath) {
  Close();
  const std::string path = NativePath(gbkPath);
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return m_fd >= 0;
}

bool TextFileWriter::Write(std::string_view text) {
  if (m_fd < 0) return false;
  // Every LF becomes CR LF; the runs between line ends are copied whole.
  std::string bytes(text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), '\0');
  char* out = bytes.data();
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t lf = text.find('\n', pos);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::memcpy(out, text.data() + pos, end - pos);
    out += end - pos;
    if (lf == std::string_view::npos) break;
    *out++ = '\r';
    *out++ = '\n';
    pos = lf + 1;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool TextFileWriter::Close() {
  if (m_fd < 0) return true;
  int rc = ::close(m_fd);
  m_fd = -1;
  return rc == 0;
}

}  // namespace platform
