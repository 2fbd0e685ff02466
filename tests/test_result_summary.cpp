#include "results/FaultCodes.h"
#include "results/StringBetween.h"
#include "tests/ResultSavingFixture.h"

namespace {

using namespace results_test;

TEST(GetStringBetween, TrimmedTextBetweenTheFirstMarkersOrTheErrorTexts) {
  struct Case {
    std::string text, start, end, expected;
  };
  const Case cases[] = {
      {"a = \t V1.2 \r\n, b = x,", "a = ", ",", "V1.2"},
      {"k1 = v1,k2 = v2,", "k2 = ", ",", "v2"},
      {"RouteStepName = step\nFixtureNo  = 1", "RouteStepName = ", "FixtureNo", "step"},
      {" \v\fall\f ", "", "", "all"},
      {"head, tail", "", ",", "head"},
      {"head, tail ", ",", "", "tail"},
      {"x=,", "x=", ",", ""},
      {"no markers here", "v = ", ",", "sStartStr error"},
      {"v = 1.0 and no comma", "v = ", ",", "sEndStr error"},
      {", v = 1.0", "v = ", ",", "sEndStr error"},  // the end counts only after the start
      // In 0x81 0x40 and 0x81 0x5C the second bytes look like "@" and "\".
      {"\x81\x40"
       "AB@CD"
       "\x81\x5C"
       "EF\\GH",
       "@", "\\",
       "CD\x81\x5C"
       "EF"},
      {"\x81\x40"
       "only",
       "@", "", "sStartStr error"},
      {"@x\x81\x40", "@", "@", "sEndStr error"},
  };
  for (const Case& c : cases) EXPECT_EQ(results::GetStringBetween(c.text, c.start, c.end), c.expected) << c.text;
}

std::string Line(const std::string& item, const char* result) {
  return item + " = " + result + "\n";
}

TEST(FaultCodes, EachFailedCheckAddsItsCodeAndASemicolonInTableOrder) {
  const std::string nvrPass = "Result     = FAIL\n" + Line(kSyncDone, "PASS") + Line(kSyncCheck, "PASS") +
                              Line(kAlarm, "PASS") + Line(kVideoStandard + "PAL", "PASS") + Line(kPlayback, "PASS") +
                              Line(kRemoteIpc, "PASS");
  const std::string dvrPass = "Result     = FAIL\n" + Line(kSyncDone, "PASS") + Line(kSyncCheck, "PASS") +
                              Line(kVideoStandard + "NTSC", "PASS") + Line(kDisk, ";DISK1") + Line(kPlayback, "PASS");
  std::string nvrWithoutStandard = nvrPass;
  nvrWithoutStandard.erase(nvrWithoutStandard.find(kVideoStandard), Line(kVideoStandard + "PAL", "PASS").size());
  struct Case {
    const char* name;
    std::string step, log, resultText, bugType;
    bool upload;
  };
  const Case cases[] = {
      {"NVR all checks, no PASS line", kNvrStep, nvrPass, "FAIL", "", true},
      {"NVR disk failure line", kNvrStep, nvrPass + Line(kDisk + ",FAIL", "FAIL"), "FAIL", "D2802;", true},
      {"NVR some missing", kNvrStep,
       "Result     = FAIL\n" + Line(kSyncCheck, "PASS") + Line(kVideoStandard + "NTSC", "PASS") +
           Line(kRemoteIpc, "PASS") + Line(kDisk + ",FAIL", "FAIL"),
       "FAIL", "D2201;D2208;D2802;D2802;", true},
      {"NVR nothing", kNvrStep, "", "", "D2201;D2202;D2208;D2211;D2802;D2802;", true},
      {"NVR no standard", kNvrStep, nvrWithoutStandard, "FAIL", "D2211;", true},
      {"NVR NTSC", kNvrStep, nvrWithoutStandard + Line(kVideoStandard + "NTSC", "PASS, 60Hz"), "FAIL", "", true},
      {"NVR PASS line", kNvrStep, "Result     = PASS\n", "PASS", "D0000;", true},
      {"DVR all checks", kDvrStep, dvrPass, "FAIL", "", true},
      {"DVR without disk line", kDvrStep, nvrPass, "FAIL", "D2802;", true},
      {"DVR nothing", kDvrStep, "", "", "D2201;D2202;D2211;D2802;D2802;", true},
      {"DVR PASS line", kDvrStep, "Result     = PASS\n", "", "D0000;", true},
      {"IPC passed", kIpcStep, "", "PASS", "D0000;", true},
      {"IPC failed", kIpcStep, "Result     = PASS\n", "FAIL", "", false},
      {"IPC undecided", kIpcStep, "", "", "", false},
      {"other step", "PCBA_TEST", "Result     = PASS\n", "PASS", "", true},
      {"step with a blank", kNvrStep + " ", "Result     = PASS\n", "PASS", "", true},
      {"no step", "", "Result     = PASS\n", "PASS", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const results::FamilyOutcome o = results::ApplyFamilyRules(c.step, c.log, c.resultText);
    EXPECT_EQ(o.bUpload, c.upload);
    if (c.upload) EXPECT_EQ(o.strBugType, c.bugType);
  }
}

}  // namespace
