#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "monitor/ResultListAccess.h"
#include "results/MesOutboxSwitch.h"
#include "results/ResultLog.h"
#include "results/ResultSummary.h"

int CMonitorDialog::SaveResult(int nListID, ResultStructrue* pResult) {
  CMyListCtrl* pList = FindListCtrl(nListID);
  // Without a record there is nothing to save; refuse instead of crashing the host.
  if (pList == nullptr || pResult == nullptr) return 0;

  results::ResultListSnapshot panel = ReadResultList(*pList);
  // The summary step runs whatever the log step reported; the host learns
  // only whether the unit reached the MES.
  results::WriteResultLog(panel, pResult);
  int nUploaded = 0;
  if (m_strMesOutbox.empty()) {
    m_pMesOutbox->Close();  // switched off (or never on)
    nUploaded = results::UploadResultSummary(panel, pResult, m_strMesUrl);
  } else {
    nUploaded = results::UploadResultSummary(panel, pResult, m_strMesUrl,
                                             [this](const results::MesUploadValues& values, const std::string& url) {
                                               return m_pMesOutbox->Upload(m_strMesOutbox, values, url);
                                             });
  }
  StoreVerdict(*pList, panel.nResult);
  return nUploaded;
}

int CMonitorDialog::GetMesOutboxCounts(int* pnPending, int* pnRefused, int* pnDeliveredToday) {
  results::MesOutboxCounts counts;
  const bool on = m_pMesOutbox->Counts(m_strMesOutbox, &counts);
  if (pnPending) *pnPending = counts.nPending;
  if (pnRefused) *pnRefused = counts.nRefused;
  if (pnDeliveredToday) *pnDeliveredToday = counts.nDeliveredToday;
  return on ? 1 : 0;
}
