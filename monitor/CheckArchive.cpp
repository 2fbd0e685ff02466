#include "monitor/CheckArchive.h"

#include <vector>

namespace {

uint32_t AddBytes(uint32_t sum, const std::string& bytes) {
  for (unsigned char c : bytes) sum += c;
  return sum;
}

}  // namespace

CCheckArchive::CCheckArchive(platform::CFile* file, Mode mode) : CArchive(file, mode, 4096) {}

CCheckArchive::~CCheckArchive() = default;

uint32_t CCheckArchive::ByteSum(uint32_t value) {
  return (value & 0xFF) + ((value >> 8) & 0xFF) + ((value >> 16) & 0xFF) + (value >> 24);
}

platform::CArchive& CCheckArchive::operator<<(const std::string& text) {
  m_nCheckSum = AddBytes(m_nCheckSum, EncodeTextLength(text.size()));
  m_nCheckSum = AddBytes(m_nCheckSum, text);
  return CArchive::operator<<(text);
}

platform::CArchive& CCheckArchive::operator<<(uint32_t value) {
  m_nCheckSum += ByteSum(value);
  return CArchive::operator<<(value);
}

bool CCheckArchive::VerifyCheckSum(uint32_t stored) {
  platform::CFile* file = GetFile();
  try {
    const uint64_t here = file->GetPosition();
    file->SeekToBegin();
    uint32_t sum = 0;
    std::vector<unsigned char> block(2048);
    for (;;) {
      std::size_t n = file->Read(block.data(), block.size());
      if (n == 0) break;
      for (std::size_t i = 0; i < n; ++i) sum += block[i];
    }
    sum -= ByteSum(stored);
    file->Seek(here);
    return sum == stored;
  } catch (const platform::Error&) {
    return false;
  }
}
