// A sheet or stream name as an error message shows it: the messages of the
// file format are plain ASCII.
#pragma once

#include <string>
#include <string_view>

namespace xls {

// Printable ASCII as it is, anything else as '?'.
inline std::string Ascii(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace xls
