// Helpers of the outbox tests: a unit's report values and polling.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "results/MesUploadValues.h"
#include "tests/ScratchFolder.h"

namespace outbox_test {

namespace fs = std::filesystem;

// A unit's values with Chinese GBK text ("整机测试") and a NUL byte in the blob.
inline results::MesUploadValues Values(const std::string& serial) {
  results::MesUploadValues v;
  v.strOrderNo = serial.substr(0, 7);
  v.strSerialNumber = serial;
  v.strMacList = "00:11:22:33:44:55";
  v.strDealResult = "PASS";
  v.strBugType = "D0000;";
  v.strBugReason = "[RESULT]\n\xd5\xfb\xbb\xfa\xb2\xe2\xca\xd4 = PASS\n[END]";
  v.strTempColumn = std::string("\x00\x01", 2);
  v.strWorkStation = "ST-FT01";
  v.strToolType = "NVR_\xd5\xfb\xbb\xfa\xb2\xe2\xca\xd4";
  v.strRecorder = "PC-LINE03 A123456";
  v.nSystemType = 3;
  v.strVersion = "V4.1.0";
  return v;
}

// Polls until done() holds; false after 30 s (a hang, not a speed check).
inline bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 3000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

}  // namespace outbox_test
