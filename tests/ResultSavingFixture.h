// Shared set-up of the saver tests: a temporary station directory that the
// executable-directory lookup answers with, a fixed clock in China's time
// zone, and captured operator messages.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/ExeDirectory.h"
#include "platform/TextCodec.h"
#include "tests/MessageCapture.h"

namespace results_test {

namespace fs = std::filesystem;

// 2026-03-05 14:07:09 in UTC+8.
inline constexpr std::time_t kSaveTime = 1772690829;

inline fs::path SourceDir() {
  if (const char* dir = std::getenv("MONITOR_SOURCE_DIR")) return dir;
  return fs::path(__FILE__).parent_path().parent_path();
}

inline std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every regular file below dir, as paths relative to it, sorted.
inline std::vector<std::string> FilesBelow(const fs::path& dir) {
  std::vector<std::string> out;
  if (!fs::exists(dir)) return out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file()) out.push_back(fs::relative(e.path(), dir).generic_string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

class ResultSavingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "CST-8", 1);
    tzset();
    char tmpl[] = "/tmp/h8-station-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_station = tmpl;
    m_exeOverride = std::make_unique<platform::ScopedExeDirectoryOverride>(m_station.string());
    m_clock = std::make_unique<platform::ScopedClockOverride>(kSaveTime);
    CaptureMessages(&m_messages);
  }

  void TearDown() override {
    RestoreMessageBox();
    m_clock.reset();
    m_exeOverride.reset();
    std::error_code ec;
    fs::permissions(m_station, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_station, ec);
  }

  fs::path TestResult() const { return m_station / "TestResult"; }
  fs::path DateFolder() const { return TestResult() / "20260305"; }

  static std::string SaveFailedText() { return platform::Gbk(u8"保存文件失败!"); }

  fs::path m_station;
  std::vector<CapturedMessage> m_messages;

 private:
  std::unique_ptr<platform::ScopedExeDirectoryOverride> m_exeOverride;
  std::unique_ptr<platform::ScopedClockOverride> m_clock;
};

}  // namespace results_test
