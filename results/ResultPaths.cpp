#include "results/ResultPaths.h"

#include "platform/ExeDirectory.h"
#include "platform/TextCodec.h"

namespace results {

bool IsSerialNumberSet(const std::string& strSerialNumber) {
  return !strSerialNumber.empty() && strSerialNumber != "0";
}

namespace {

// Only these bytes can end a two-byte character. Any other byte after a lead
// byte stands for itself once the name is converted for the file system, so
// a "/" or a control character there must not pass as part of a character.
bool IsGbkTrailByte(unsigned char c) {
  return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

}  // namespace

bool IsSerialNumberSafeForFileName(const std::string& strSerialNumber) {
  if (strSerialNumber.find("..") != std::string::npos) return false;
  std::size_t i = 0;
  while (i < strSerialNumber.size()) {
    const unsigned char c = static_cast<unsigned char>(strSerialNumber[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < strSerialNumber.size() &&
        IsGbkTrailByte(static_cast<unsigned char>(strSerialNumber[i + 1]))) {
      i += 2;  // a two-byte character; its second byte may be 0x5C
      continue;
    }
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
    ++i;
  }
  return true;
}

std::string TestResultDirectory() {
  return CBasic::GetExeDirectory() + "/TestResult";
}

std::string ResultLogFilePath(const std::string& strFolder, const std::string& strSerialNumber,
                              const std::string& strTime) {
  return strFolder + "/" + strSerialNumber + "-" + strTime + ".txt";
}

const std::string& SaveFileFailedMessage() {
  static const std::string text = platform::Gbk(u8"保存文件失败!");
  return text;
}

}  // namespace results
