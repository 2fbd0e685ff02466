// The directory of the running executable: every file the module writes or
// looks for (result logs, PCB.xls) lives below it.
#pragma once

#include <string>

class CBasic {
 public:
  // Absolute directory that holds the running executable, as a GBK text,
  // without a trailing separator (the root directory gives ""), so callers
  // append texts that begin with "/". Read afresh at every call, never
  // cached. Never fails: when /proc/self/exe cannot be read, the current
  // working directory is used instead.
  //
  // The text is GBK like every text in the module; hand paths built from it
  // to platform/Files.h (or convert with platform::GbkToUtf8) before giving
  // them to the operating system.
  static std::string GetExeDirectory();
};

namespace platform {

// Test seam: while an override is set, CBasic::GetExeDirectory() answers with
// it (GBK, a trailing "/" is dropped) instead of the executable's directory.
// Callers keep their one code path.
void SetExeDirectoryOverride(const std::string& gbkDirectory);
void ClearExeDirectoryOverride();

// Sets the override for the lifetime of the object and restores the previous
// state afterwards.
class ScopedExeDirectoryOverride {
 public:
  explicit ScopedExeDirectoryOverride(const std::string& gbkDirectory);
  ~ScopedExeDirectoryOverride();
  ScopedExeDirectoryOverride(const ScopedExeDirectoryOverride&) = delete;
  ScopedExeDirectoryOverride& operator=(const ScopedExeDirectoryOverride&) = delete;

 private:
  bool m_bHadPrevious;
  std::string m_strPrevious;
};

}  // namespace platform
