#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "monitor/ResultListAccess.h"
#include "results/ResultLog.h"
#include "results/ResultSummary.h"

int CMonitorDialog::SaveResult(int nListID, ResultStructrue* pResult) {
  CMyListCtrl* pList = FindListCtrl(nListID);
  // Without a record there is nothing to save; refuse instead of crashing the host.
  if (pList == nullptr || pResult == nullptr) return 0;

  ResultListSnapshot panel = ReadResultList(*pList);
  // The summary step runs whatever the log step reported; the host learns
  // only whether the unit reached the MES.
  WriteResultLog(panel, pResult);
  const int nUploaded = UploadResultSummary(panel, pResult, m_strMesUrl);
  StoreVerdict(*pList, panel.nResult);
  return nUploaded;
}
