#include "platform/File.h"

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw Error(what + " " + path + ": " + std::strerror(errno));
}

}  // namespace

CFile::~CFile() {
  if (m_fp != nullptr) std::fclose(m_fp);
}

bool CFile::Open(const std::string& path, OpenFlags flags) {
  Close();
  m_fp = std::fopen(path.c_str(), flags == modeCreate ? "w+b" : "rb");
  m_path = path;
  return m_fp != nullptr;
}

void CFile::Close() {
  if (m_fp == nullptr) return;
  std::FILE* fp = m_fp;
  m_fp = nullptr;
  if (std::fclose(fp) != 0) Fail("cannot close", m_path);
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
  if (m_fp == nullptr) throw Error("read from a closed file");
  std::size_t n = std::fread(buffer, 1, count, m_fp);
  if (n < count && std::ferror(m_fp)) Fail("cannot read", m_path);
  return n;
}

void CFile::Write(const void* buffer, std::size_t count) {
  if (m_fp == nullptr) throw Error("write to a closed file");
  if (std::fwrite(buffer, 1, count, m_fp) != count) Fail("cannot write", m_path);
}

void CFile::Flush() {
  if (m_fp != nullptr && std::fflush(m_fp) != 0) Fail("cannot write", m_path);
}

uint64_t CFile::GetPosition() const {
  if (m_fp == nullptr) throw Error("position of a closed file");
  long pos = std::ftell(m_fp);
  if (pos < 0) Fail("cannot tell position in", m_path);
  return static_cast<uint64_t>(pos);
}

void CFile::Seek(uint64_t position) {
  if (m_fp == nullptr) throw Error("seek in a closed file");
  if (std::fseek(m_fp, static_cast<long>(position), SEEK_SET) != 0) Fail("cannot seek in", m_path);
}

uint64_t CFile::GetLength() const {
  if (m_fp == nullptr) throw Error("length of a closed file");
  long here = std::ftell(m_fp);
  if (here < 0 || std::fseek(m_fp, 0, SEEK_END) != 0) Fail("cannot seek in", m_path);
  long end = std::ftell(m_fp);
  if (end < 0 || std::fseek(m_fp, here, SEEK_SET) != 0) Fail("cannot seek in", m_path);
  return static_cast<uint64_t>(end);
}

}  // namespace platform
