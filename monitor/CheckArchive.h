// An archive that keeps a running byte sum of everything stored through it,
// so that a stored file can carry its own check sum.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Archive.h"

class CCheckArchive : public platform::CArchive {
 public:
  CCheckArchive(platform::CFile* file, Mode mode);
  ~CCheckArchive() override;

  // Both add the bytes they write to the running sum. A text's length prefix
  // counts as the bytes actually written (1, 3 or 7 of them), so long texts
  // keep the file's byte sum and the stored sum equal.
  CArchive& operator<<(const std::string& text) override;
  CArchive& operator<<(uint32_t value) override;
  using CArchive::operator>>;

  uint32_t GetCheckSum() const { return m_nCheckSum; }

  // Loading: the byte sum of the whole file, less the stored sum's own four
  // bytes, must equal the stored sum. The file position is kept, so reading
  // goes on where it was. False when the file cannot be read.
  bool VerifyCheckSum(uint32_t stored);

  static uint32_t ByteSum(uint32_t value);

 private:
  uint32_t m_nCheckSum = 0;  // wraps on overflow
};
