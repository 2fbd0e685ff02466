#include "monitor/MonitorDialog.h"
#include "results/ResultListAccess.h"
#include "results/ResultLog.h"

int CMonitorDialog::SaveResult(int nListID, ResultStructrue* pResult) {
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (pList == nullptr) return 0;

  ResultListSnapshot panel = ReadResultList(*pList);
  WriteResultLog(panel, pResult);
  StoreVerdict(*pList, panel.nResult);

  // The MES summary and upload step is not built yet: until it is, a save
  // never counts as reported to the MES, so the result is 0 whatever the log
  // step did.
  return 0;
}
