#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "monitor/ResultListAccess.h"
#include "results/PcbWorkbookExport.h"

int CMonitorDialog::SaveResult2EXL(int nListID, ResultStructrue* pResult) {
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (pList == nullptr || pResult == nullptr) return 0;
  return results::ExportToPcbWorkbook(*pResult, pList->m_strSerialNumber, ReadPcbWorkbookItems(*pList));
}
