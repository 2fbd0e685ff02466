// A buffered binary archive over a CFile: 32-bit little-endian values and
// length-prefixed 8-bit texts. A short read, a failed write or a value moved
// the wrong way throws platform::Error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/File.h"

namespace platform {

class CArchive {
 public:
  enum Mode { store = 0, load = 1 };

  CArchive(CFile* file, Mode mode, int bufferSize = 4096);
  virtual ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  bool IsStoring() const { return m_mode == store; }
  bool IsLoading() const { return m_mode == load; }
  CFile* GetFile() const { return m_file; }

  virtual CArchive& operator<<(const std::string& text);
  virtual CArchive& operator<<(uint32_t value);
  CArchive& operator>>(std::string& text);
  CArchive& operator>>(uint32_t& value);

  // Storing: writes the buffer to the file. Loading: nothing to do.
  void Flush();
  // Flushes a storing archive; the file stays open (it belongs to the caller).
  void Close();
  // Bytes between the start of the buffer and the current position. Before
  // the first flush of a storing archive this is the file position at which
  // the next value goes.
  int GetBufferOffset() const { return static_cast<int>(m_pos); }

  // The length prefix of the archive text format: one byte below 255, then
  // 0xFF + 16-bit below 0xFFFE, else 0xFF 0xFFFF + 32-bit.
  static std::string EncodeTextLength(std::size_t length);

 protected:
  void WriteBytes(const void* data, std::size_t count);
  void ReadBytes(void* data, std::size_t count);

 private:
  void FillBuffer();
  uint32_t ReadLength(bool* utf16);

  CFile* m_file;
  Mode m_mode;
  std::vector<unsigned char> m_buffer;
  std::size_t m_pos = 0;  // current position in the buffer
  std::size_t m_end = 0;  // loading: bytes held in the buffer
  bool m_closed = false;
};

}  // namespace platform
