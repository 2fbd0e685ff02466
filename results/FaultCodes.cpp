#include "results/FaultCodes.h"

#include <string_view>
#include <vector>

#include "platform/TextCodec.h"

namespace results {

namespace {

// A check passes when its text is present (or, for the disk failure line,
// absent); the video standard check accepts either of two texts.
struct Check {
  std::string strPresent;
  std::string strAlternative;  // also passes when present; may be empty
  bool bMustBeAbsent;
  const char* code;
};

Check Present(std::u8string_view text, const char* code) {
  return {platform::Gbk(text), {}, false, code};
}

Check VideoStandard() {
  return {platform::Gbk(u8"当前视频制式PAL = PASS"), platform::Gbk(u8"当前视频制式NTSC = PASS"), false, "D2211"};
}

const std::vector<Check>& NvrChecks() {
  static const std::vector<Check> checks = {
      Present(u8"时间同步功能执行通过 = PASS", "D2201"),
      Present(u8"时间同步检测确认 = PASS", "D2202"),
      Present(u8"报警#(0)功能测试通过 = PASS", "D2208"),
      VideoStandard(),
      {platform::Gbk(u8"硬盘获取功能,FAIL"), {}, true, "D2802"},
      Present(u8"视频播放功能 = PASS", "D2802"),
      Present(u8"远程添加IPC设置 = PASS", "D2802"),
  };
  return checks;
}

const std::vector<Check>& DvrChecks() {
  static const std::vector<Check> checks = {
      Present(u8"时间同步功能执行通过 = PASS", "D2201"), Present(u8"时间同步检测确认 = PASS", "D2202"), VideoStandard(),
      Present(u8"硬盘获取功能 = ;DISK1", "D2802"),       Present(u8"视频播放功能 = PASS", "D2802"),
  };
  return checks;
}

bool Contains(const std::string& text, const std::string& part) {
  return platform::GbkFind(text, part) != std::string::npos;
}

bool Passes(const Check& check, const std::string& strLogText) {
  if (check.bMustBeAbsent) return !Contains(strLogText, check.strPresent);
  return Contains(strLogText, check.strPresent) ||
         (!check.strAlternative.empty() && Contains(strLogText, check.strAlternative));
}

constexpr char kAllPass[] = "D0000;";

std::string RecorderBugType(const std::vector<Check>& checks, const std::string& strLogText) {
  static const std::string passLine = "Result     = PASS";
  if (Contains(strLogText, passLine)) return kAllPass;
  std::string codes;
  for (const Check& check : checks) {
    if (!Passes(check, strLogText)) {
      codes += check.code;
      codes += ';';
    }
  }
  return codes;
}

}  // namespace

FamilyOutcome ApplyFamilyRules(const std::string& strRouteStepName, const std::string& strLogText,
                               const std::string& strResultText) {
  static const std::string nvr = platform::Gbk(u8"NVR_整机测试");
  static const std::string dvr = platform::Gbk(u8"DVR_整机测试");
  static const std::string ipc = platform::Gbk(u8"IPC_整机测试");
  if (strRouteStepName == nvr) return {true, RecorderBugType(NvrChecks(), strLogText)};
  if (strRouteStepName == dvr) return {true, RecorderBugType(DvrChecks(), strLogText)};
  if (strRouteStepName == ipc) {
    if (strResultText == "PASS") return {true, kAllPass};
    return {false, {}};
  }
  return {true, {}};
}

}  // namespace results
