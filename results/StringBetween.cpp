#include "results/StringBetween.h"

#include "platform/TextCodec.h"

namespace results {

namespace {

bool IsTrimmedSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::string GetStringBetween(std::string text, std::string sStartStr, std::string sEndStr) {
  std::size_t start = 0;
  if (!sStartStr.empty()) {
    const std::size_t at = platform::GbkFind(text, sStartStr);
    if (at == std::string::npos) return "sStartStr error";
    start = at + sStartStr.size();
  }
  std::size_t end = text.size();
  if (!sEndStr.empty()) {
    end = platform::GbkFind(text, sEndStr, start);
    if (end == std::string::npos) return "sEndStr error";
  }
  while (start < end && IsTrimmedSpace(text[start])) ++start;
  while (end > start && IsTrimmedSpace(text[end - 1])) --end;
  return text.substr(start, end - start);
}

}  // namespace results
