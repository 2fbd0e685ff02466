// Shared set-up of the saver tests: a temporary station directory that the
// executable-directory lookup answers with, a fixed clock in China's time
// zone, captured operator messages, the station's item markers and a unit's
// record.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "results/ResultStructrue.h"
#include "platform/Clock.h"
#include "platform/ExeDirectory.h"
#include "platform/TextCodec.h"
#include "tests/MessageCapture.h"
#include "tests/ScratchFolder.h"

namespace results_test {

namespace fs = std::filesystem;

// 2026-03-05 14:07:09 in UTC+8.
inline constexpr std::time_t kSaveTime = 1772690829;

inline fs::path SourceDir() {
  if (const char* dir = std::getenv("MONITOR_SOURCE_DIR")) return dir;
  return fs::path(__FILE__).parent_path().parent_path();
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

// LF text as the CR LF bytes of a file.
inline std::string WithCrLf(std::string text) {
  for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) text.insert(at, "\r");
  return text;
}

// The item markers as the GBK bytes the station writes, spelled out so that
// they do not depend on the converter the module uses for its own texts.
inline std::string Hex(std::string_view digits) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(std::string(digits.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}
inline const std::string kVersionItem = Hex("bbfac6f7c9e8b1b8c8edbcfeb0e6b1be");       // 机器设备软件版本
inline const std::string kWebMacItem = "WEB" + Hex("b7bdcabdbbf1c8a1") + "MAC";        // WEB方式获取MAC
inline const std::string kSyncDone = Hex("cab1bce4cdacb2bdb9a6c4dcd6b4d0d0cda8b9fd");  // 时间同步功能执行通过
inline const std::string kSyncCheck = Hex("cab1bce4cdacb2bdbcecb2e2c8b7c8cf");         // 时间同步检测确认
inline const std::string kAlarm = Hex("b1a8beaf") + "#(0)" + Hex("b9a6c4dcb2e2cad4cda8b9fd");  // 报警#(0)功能测试通过
inline const std::string kVideoStandard = Hex("b5b1c7b0cad3c6b5d6c6cabd");                     // 当前视频制式
inline const std::string kDisk = Hex("d3b2c5ccbbf1c8a1b9a6c4dc");                              // 硬盘获取功能
inline const std::string kPlayback = Hex("cad3c6b5b2a5b7c5b9a6c4dc");                          // 视频播放功能
inline const std::string kRemoteIpc = Hex("d4b6b3ccccedbcd3") + "IPC" + Hex("c9e8d6c3");  // 远程添加IPC设置
inline const std::string kNvrStep = "NVR_" + Hex("d5fbbbfab2e2cad4");                     // NVR_整机测试
inline const std::string kDvrStep = "DVR_" + Hex("d5fbbbfab2e2cad4");                     // DVR_整机测试
inline const std::string kIpcStep = "IPC_" + Hex("d5fbbbfab2e2cad4");                     // IPC_整机测试

// The record of the hand-checked log, with the unit's MAC and two that
// belong to other serial numbers (one a prefix of it).
inline ResultStructrue UnitRecord(const std::string& serial = "SN2603050001") {
  ResultStructrue r;
  r.strLineNo = "L03";
  r.strStation = "ST-FT01";
  r.nFixtureNo = -3;
  r.strModel = "DS-7608NI";
  r.strVersion = "V4.1.0 build 260301";
  r.strComputerUser = "PC-LINE03 A123456";
  r.strStartTime = "2026/03/05  14:01:22";
  r.strRouteStepName = kNvrStep;
  r.nJudge = 1;
  r.mapMac[serial] = "00:11:22:33:44:55";
  r.mapMac[serial + "2"] = "AA:BB:CC:DD:EE:FF";
  if (serial.size() > 1) r.mapMac[serial.substr(0, serial.size() - 1)] = "11:11:11:11:11:11";
  return r;
}

class ResultSavingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "CST-8", 1);
    tzset();
    m_exeOverride = std::make_unique<platform::ScopedExeDirectoryOverride>(m_station.string());
    m_clock = std::make_unique<platform::ScopedClockOverride>(kSaveTime);
    CaptureMessages(&m_messages);
  }

  void TearDown() override {
    RestoreMessageBox();
    m_clock.reset();
    m_exeOverride.reset();
  }

  fs::path TestResult() const { return m_station / "TestResult"; }
  fs::path DateFolder() const { return TestResult() / "20260305"; }

  // Exactly `count` messages were shown, each "保存文件失败!" with the error icon.
  void ExpectSaveFailedShown(std::size_t count) {
    ASSERT_EQ(m_messages.size(), count);
    for (const CapturedMessage& m : m_messages) {
      EXPECT_EQ(m.text, platform::Gbk(u8"保存文件失败!"));
      EXPECT_TRUE(HasErrorIcon(m.flags));
    }
  }

  ScratchFolder m_scratch;
  const fs::path m_station{m_scratch.Path()};
  std::vector<CapturedMessage> m_messages;

 private:
  std::unique_ptr<platform::ScopedExeDirectoryOverride> m_exeOverride;
  std::unique_ptr<platform::ScopedClockOverride> m_clock;
};

}  // namespace results_test
