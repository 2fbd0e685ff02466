// Fuzz input offered to the SOAP parsers in small, uneven pieces, so that
// character data and names arrive split as they would from a socket.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mes/SoapStreams.h"

class UnevenSoapSource final : public mes::ISoapReadStream {
 public:
  UnevenSoapSource(const uint8_t* data, std::size_t size, std::size_t period)
      : m_data(data), m_size(size), m_period(period) {}
  std::size_t Read(char* buffer, std::size_t maxLength) override {
    std::size_t n = std::min({maxLength, m_size - m_pos, std::size_t{1} + (m_pos % m_period)});
    std::memcpy(buffer, m_data + m_pos, n);
    m_pos += n;
    return n;
  }

 private:
  const uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_period;
  std::size_t m_pos = 0;
};
