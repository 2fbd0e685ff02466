#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace xls {

// Every failure of the workbook engine: a file that is not a readable Excel 97-2003
// workbook, a damaged one, an argument out of the format's limits, or an I/O error.
// what() is a plain-ASCII English message naming the problem (and, for damaged
// files, where it was found).
class XlsError : public std::runtime_error {
 public:
  explicit XlsError(const std::string& message) : std::runtime_error(message) {}
};

// A name as a message shows it: printable ASCII as it is, anything else as '?'.
inline std::string Ascii(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace xls
