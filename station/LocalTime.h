// The local time now, formatted with a strftime pattern.
#pragma once

#include <ctime>
#include <string>

namespace station {

inline std::string LocalTimeText(const char* pattern) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[64];
  return std::strftime(buf, sizeof buf, pattern, &tm) ? buf : "";
}

}  // namespace station
