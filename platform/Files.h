// The file operations the savers use. Paths are the module's GBK texts; they
// are converted to the system's UTF-8 file names here.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Creates one directory; an existing one is fine. Returns false on failure.
bool CreateDirectoryIfMissing(const std::string& gbkPath);

// A file created (or truncated) for writing in text mode: every LF written
// goes to disk as CR LF, so logs have the same bytes on every platform.
class TextFileWriter {
 public:
  TextFileWriter() = default;
  ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;

  // Creates or truncates the file; false when it cannot be created.
  bool Create(const std::string& gbkPath);
  // Writes the whole text; false on a write error.
  bool Write(std::string_view text);
  bool Close();
  bool IsOpen() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

}  // namespace platform
