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
inline const std::string kVersionItem =
    "\xbb\xfa\xc6\xf7\xc9\xe8\xb1\xb8\xc8\xed\xbc\xfe\xb0\xe6\xb1\xbe";           // 机器设备软件版本
inline const std::string kWebMacItem = "WEB\xb7\xbd\xca\xbd\xbb\xf1\xc8\xa1MAC";  // WEB方式获取MAC
inline const std::string kSyncDone =
    "\xca\xb1\xbc\xe4\xcd\xac\xb2\xbd\xb9\xa6\xc4\xdc\xd6\xb4\xd0\xd0\xcd\xa8\xb9\xfd";  // 时间同步功能执行通过
inline const std::string kSyncCheck =
    "\xca\xb1\xbc\xe4\xcd\xac\xb2\xbd\xbc\xec\xb2\xe2\xc8\xb7\xc8\xcf";  // 时间同步检测确认
inline const std::string kAlarm =
    "\xb1\xa8\xbe\xaf#(0)\xb9\xa6\xc4\xdc\xb2\xe2\xca\xd4\xcd\xa8\xb9\xfd";  // 报警#(0)功能测试通过
inline const std::string kVideoStandard = "\xb5\xb1\xc7\xb0\xca\xd3\xc6\xb5\xd6\xc6\xca\xbd";  // 当前视频制式
inline const std::string kDisk = "\xd3\xb2\xc5\xcc\xbb\xf1\xc8\xa1\xb9\xa6\xc4\xdc";           // 硬盘获取功能
inline const std::string kPlayback = "\xca\xd3\xc6\xb5\xb2\xa5\xb7\xc5\xb9\xa6\xc4\xdc";       // 视频播放功能
inline const std::string kRemoteIpc = "\xd4\xb6\xb3\xcc\xcc\xed\xbc\xd3IPC\xc9\xe8\xd6\xc3";   // 远程添加IPC设置
inline const std::string kNvrStep = "NVR_\xd5\xfb\xbb\xfa\xb2\xe2\xca\xd4";                    // NVR_整机测试
inline const std::string kDvrStep = "DVR_\xd5\xfb\xbb\xfa\xb2\xe2\xca\xd4";                    // DVR_整机测试
inline const std::string kIpcStep = "IPC_\xd5\xfb\xbb\xfa\xb2\xe2\xca\xd4";                    // IPC_整机测试

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
