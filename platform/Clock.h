// The wall clock the savers read once per step, and local-time formatting.
#pragma once

#include <ctime>
#include <string>

namespace platform {

// Seconds since the epoch; the override below when one is set.
std::time_t CurrentTime();

// strftime of the local time; "" when the time cannot be converted or the
// result does not fit.
std::string FormatLocalTime(std::time_t when, const char* format);

// Test seam: while set, CurrentTime() answers with the given time.
class ScopedClockOverride {
 public:
  explicit ScopedClockOverride(std::time_t when);
  ~ScopedClockOverride();
  ScopedClockOverride(const ScopedClockOverride&) = delete;
  ScopedClockOverride& operator=(const ScopedClockOverride&) = delete;

 private:
  bool m_bHadPrevious;
  std::time_t m_previous;
};

}  // namespace platform
