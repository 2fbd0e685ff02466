#include "results/ResultLog.h"

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "results/ResultLogText.h"
#include "results/ResultPaths.h"
#include "results/ResultVerdict.h"

namespace results {

namespace {

int ReportSaveFailure() {
  platform::MessageBox(SaveFileFailedMessage(), platform::MB_OK | platform::MB_ICONERROR);
  return 0;
}

}  // namespace

int WriteResultLog(ResultListSnapshot& panel, const ResultStructrue* pResult) {
  if (pResult == nullptr || !IsSerialNumberSet(panel.strSerialNumber)) return 0;
  const ResultStructrue& record = *pResult;

  const std::time_t now = platform::CurrentTime();
  const std::string strDate = platform::FormatLocalTime(now, "%Y%m%d");
  const std::string strStamp = platform::FormatLocalTime(now, "%Y%m%d%H%M%S");

  // A serial number with a separator or ".." would put the file elsewhere.
  if (!IsSerialNumberSafeForFileName(panel.strSerialNumber)) return ReportSaveFailure();

  const std::string strResultDir = TestResultDirectory();
  platform::CreateDirectoryIfMissing(strResultDir);
  platform::CreateDirectoryIfMissing(strResultDir + "/" + strDate);

  platform::TextFileWriter file;
  const std::string strPath = ResultLogFilePath(TestResultDirectory() + "/" + strDate, panel.strSerialNumber, strStamp);
  if (!file.Create(strPath)) return ReportSaveFailure();

  const VerdictDecision verdict = DecideVerdict(panel.nResult, record.nJudge, panel.rows);
  panel.nResult = verdict.nResult;

  std::string text = BuildLogHeadAndItems(record, panel.strSerialNumber, strStamp,
                                          ResultLineValue(verdict.nResult, record.nJudge), panel.rows);
  text += kMacListLine;
  text += BuildMacLines(record, panel.strSerialNumber);
  text += kLogEnd;

  // A full disk must not pass for a saved log.
  const bool bWritten = file.Write(text);
  const bool bClosed = file.Close();
  if (!bWritten || !bClosed) return ReportSaveFailure();
  return 1;
}

}  // namespace results
