// A binary file opened by path, for the archives. Every failure throws
// platform::Error, so a reader never runs on with half a value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/Error.h"

namespace platform {

class CFile {
 public:
  enum OpenFlags { modeRead = 0, modeCreate = 1 };  // modeCreate: create or truncate for writing

  CFile() = default;
  ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // False when the file cannot be opened; no exception.
  bool Open(const std::string& path, OpenFlags flags);
  void Close();
  bool IsOpen() const { return m_fp != nullptr; }

  // Reads up to count bytes; returns how many were read (0 at the end).
  std::size_t Read(void* buffer, std::size_t count);
  void Write(const void* buffer, std::size_t count);
  void Flush();
  uint64_t GetPosition() const;
  void Seek(uint64_t position);
  void SeekToBegin() { Seek(0); }
  uint64_t GetLength() const;

 private:
  std::FILE* m_fp = nullptr;
  std::string m_path;
};

}  // namespace platform
