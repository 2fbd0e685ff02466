// Reading and writing a delimited text file as a list of lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace spreadsheet {

// Lines end with CR LF or LF; the ends are not kept. A last line without an
// end still counts; an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view content);

// Reads the whole file; false when it cannot be opened or read.
bool ReadLines(const std::string& path, std::vector<std::string>& lines);

// Writes every line followed by CR LF. The lines go to a temporary file beside
// the target that then replaces it, so a failed or interrupted write leaves the
// previous file whole. False when the file cannot be written.
bool WriteLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace spreadsheet
