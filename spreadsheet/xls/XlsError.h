#pragma once

#include <stdexcept>
#include <string>

namespace xls {

// Every failure of the workbook engine: a file that is not a readable Excel 97-2003
// workbook, a damaged one, an argument out of the format's limits, or an I/O error.
// what() is a plain-ASCII English message naming the problem (and, for damaged
// files, where it was found).
class XlsError : public std::runtime_error {
public:
    explicit XlsError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace xls
