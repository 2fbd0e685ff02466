#include "mes/SoapStreams.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace mes {

bool CStringWriteStream::Write(const char* data, std::size_t length) {
  if (length == 0) return true;
  if (data == nullptr) return false;
  try {
    m_str.append(data, length);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

void CStringWriteStream::Reserve(std::size_t additional) {
  if (additional > m_str.max_size() - m_str.size()) return;
  try {
    m_str.reserve(m_str.size() + additional);
  } catch (const std::exception&) {
    // Only a hint: the writes themselves will report the shortage.
  }
}

bool CReplyReadStream::Init(const char* body, std::size_t length) {
  Release();
  if (body == nullptr || length == 0) return false;
  m_pData = body;
  m_nLength = length;
  return true;
}

std::size_t CReplyReadStream::Read(char* buffer, std::size_t maxLength) {
  if (m_pData == nullptr || buffer == nullptr) return 0;
  const std::size_t n = std::min(maxLength, m_nLength - m_nPos);
  std::memcpy(buffer, m_pData + m_nPos, n);
  m_nPos += n;
  return n;
}

}  // namespace mes
