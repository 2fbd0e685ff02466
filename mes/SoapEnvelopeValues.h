// The value types a SOAP operation's parameter record holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mes {

// A UTF-16 text with its own length. std::nullopt is the null text (written as
// a nil element), distinct from an empty text.
using SoapText = std::optional<std::u16string>;

// A byte string for base64Binary values: a byte count and a pointer to the
// bytes. A null pointer is written as a nil element, whatever the count.
struct SoapBlob {
  std::uint32_t size = 0;
  const unsigned char* data = nullptr;
};

}  // namespace mes
