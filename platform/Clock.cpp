#include "platform/Clock.h"

#include <atomic>

namespace platform {
namespace {

// The override is a single value read on every save; an atomic pair of flag
// and value keeps it simple.
std::atomic<bool> g_bOverride{false};
std::atomic<std::time_t> g_override{0};

}  // namespace

std::time_t CurrentTime() {
  if (g_bOverride.load()) return g_override.load();
  return std::time(nullptr);
}

std::string FormatLocalTime(std::time_t when, const char* format) {
  std::tm local{};
  if (localtime_r(&when, &local) == nullptr) return {};
  char buf[128];
  std::size_t n = std::strftime(buf, sizeof buf, format, &local);
  return std::string(buf, n);
}

ScopedClockOverride::ScopedClockOverride(std::time_t when)
    : m_bHadPrevious(g_bOverride.load()), m_previous(g_override.load()) {
  g_override.store(when);
  g_bOverride.store(true);
}

ScopedClockOverride::~ScopedClockOverride() {
  g_override.store(m_previous);
  g_bOverride.store(m_bHadPrevious);
}

}  // namespace platform
