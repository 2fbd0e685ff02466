#include "spreadsheet/RowText.h"

#include "platform/TextCodec.h"

namespace spreadsheet {

std::string BuildRowText(const std::vector<std::string>& values, std::string_view separator) {
  std::size_t size = 0;
  for (const std::string& v : values) size += v.size() + 2 + separator.size();
  std::string text;
  text.reserve(size);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) text.append(separator);
    text.push_back('"');
    text.append(values[i]);
    text.push_back('"');
  }
  return text;
}

namespace {

std::vector<std::string> CutAt(std::string_view text, std::string_view delimiter) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    std::size_t hit = platform::GbkFind(text, delimiter, start);
    if (hit == std::string_view::npos) break;
    pieces.emplace_back(text.substr(start, hit - start));
    start = hit + delimiter.size();
  }
  pieces.emplace_back(text.substr(start));
  return pieces;
}

}  // namespace

std::vector<std::string> SplitRowText(std::string_view rowText, std::string_view separator) {
  if (!separator.empty()) {
    std::string quoted;
    quoted.reserve(separator.size() + 2);
    quoted.push_back('"');
    quoted.append(separator);
    quoted.push_back('"');
    if (platform::GbkFind(rowText, quoted) != std::string_view::npos) {
      std::vector<std::string> values = CutAt(rowText, quoted);
      if (!values.front().empty()) values.front().erase(0, 1);
      if (!values.back().empty()) values.back().pop_back();
      return values;
    }
    if (platform::GbkFind(rowText, separator) != std::string_view::npos) return CutAt(rowText, separator);
  }
  std::string_view whole = rowText;
  if (whole.size() >= 2 && whole.front() == '"' && whole.back() == '"') whole = whole.substr(1, whole.size() - 2);
  return {std::string(whole)};
}

std::string BlankRowText(int columns, bool workbook, std::string_view separator) {
  std::string text;
  for (int i = 0; i < columns; ++i) {
    if (i != 0) text.append(separator);
    text.append(workbook ? "\" \"" : "\"\"");
  }
  return text;
}

}  // namespace spreadsheet
