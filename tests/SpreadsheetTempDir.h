// A fresh temporary folder per test, removed with everything in it afterwards,
// and small file helpers for the spreadsheet and export tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

class SpreadsheetTempDir {
 public:
  SpreadsheetTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "monitor-ss-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
  }
  ~SpreadsheetTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  SpreadsheetTempDir(const SpreadsheetTempDir&) = delete;
  SpreadsheetTempDir& operator=(const SpreadsheetTempDir&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  std::string File(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

// A fixture workbook from the shared fixtures folder.
inline std::string FixturePath(const std::string& relative) {
  const char* dir = std::getenv("MONITOR_FIXTURES_DIR");
  std::string base = dir ? dir : "/work/shared/fixtures";
  return base + "/" + relative;
}
