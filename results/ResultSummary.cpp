#include "results/ResultSummary.h"

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/TextCodec.h"
#include "results/FaultCodes.h"
#include "results/ResultLogText.h"
#include "results/ResultPaths.h"
#include "results/ResultVerdict.h"
#include "results/StringBetween.h"

namespace results {

namespace {

void ShowSaveFailure() {
  platform::MessageBox(SaveFileFailedMessage(), platform::MB_OK | platform::MB_ICONERROR);
}

// The first two bytes of the version; zero bytes fill a shorter one.
std::string TempColumnOf(const std::string& strVersion) {
  std::string blob = strVersion.substr(0, 2);
  blob.resize(2, '\0');
  return blob;
}

}  // namespace

std::optional<MesUploadValues> WriteResultSummary(ResultListSnapshot& panel, const ResultStructrue& record) {
  if (!IsSerialNumberSet(panel.strSerialNumber)) return std::nullopt;

  const std::time_t now = platform::CurrentTime();
  const std::string strStamp = platform::FormatLocalTime(now, "%Y%m%d%H%M%S");

  if (!IsSerialNumberSafeForFileName(panel.strSerialNumber)) {
    ShowSaveFailure();
    return std::nullopt;
  }
  platform::CreateDirectoryIfMissing(TestResultDirectory());
  platform::TextFileWriter file;
  if (!file.Create(ResultLogFilePath(TestResultDirectory(), panel.strSerialNumber, strStamp))) {
    ShowSaveFailure();
    return std::nullopt;
  }

  const VerdictDecision verdict = DecideVerdict(panel.nResult, record.nJudge, panel.rows);
  panel.nResult = verdict.nResult;
  std::string text = BuildLogHeadAndItems(record, panel.strSerialNumber, strStamp,
                                          ResultLineValue(verdict.nResult, record.nJudge), panel.rows);

  static const std::string versionMarker = platform::Gbk(u8"机器设备软件版本 = ");
  static const std::string webMacMarker = platform::Gbk(u8"WEB方式获取MAC = ");
  const std::string strVersion = GetStringBetween(text, versionMarker, ",");
  const std::string strRouteStep = GetStringBetween(text, "RouteStepName = ", "FixtureNo");
  const std::string strWebMac = GetStringBetween(text, webMacMarker, ",");

  const FamilyOutcome family = ApplyFamilyRules(record.strRouteStepName, text, verdict.strResultText);

  // The second log carries no "[MACLIST]" line: the MAC lines follow the items.
  text += BuildMacLines(record, panel.strSerialNumber);
  text += kLogEnd;
  // A camera that is not reported still gets its whole log on disk.
  const bool bWritten = file.Write(text);
  const bool bClosed = file.Close();
  if (!bWritten || !bClosed) ShowSaveFailure();  // the unit is still reported
  if (!family.bUpload) return std::nullopt;

  MesUploadValues values;
  values.strOrderNo = panel.strSerialNumber.substr(0, 7);
  values.strSerialNumber = panel.strSerialNumber;
  values.strMacList = strWebMac;
  values.strDealResult = verdict.strResultText;
  values.strBugType = family.strBugType;
  values.strBugReason = std::move(text);
  values.strTempColumn = TempColumnOf(strVersion);
  values.strWorkStation = record.strStation;
  values.strToolType = strRouteStep;
  values.strRecorder = record.strComputerUser;
  values.nSystemType = 0;
  values.strVersion = strVersion;
  return values;
}

}  // namespace results
