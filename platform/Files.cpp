#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/TextCodec.h"

namespace platform {
namespace {

std::string NativePath(const std::string& gbkPath) { return GbkToUtf8(gbkPath); }

}  // namespace

bool CreateDirectoryIfMissing(const std::string& gbkPath) {
  const std::string path = NativePath(gbkPath);
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  struct stat st {};
  return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TextFileWriter::~TextFileWriter() { Close(); }

bool TextFileWriter::Create(const std::string& gbkPath) {
  Close();
  const std::string path = NativePath(gbkPath);
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return m_fd >= 0;
}

bool TextFileWriter::Write(std::string_view text) {
  if (m_fd < 0) return false;
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
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
