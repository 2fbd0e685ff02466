// The verdict members of the monitor dialog: a list's verdict and its picture.
#include <cstdio>

#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"

using namespace platform;

namespace {

constexpr const char kIdlePicture[] = "LIST%d";
constexpr const char kPassPicture[] = "LISTPASS%d";
constexpr const char kFailPicture[] = "LISTFAIL%d";

}  // namespace

void CMonitorDialog::ShowPicture(CMyListCtrl* pList, const char* pszFormat) {
  char name[32];
  std::snprintf(name, sizeof name, pszFormat, pList->m_nListID);
  pList->m_bmpBack.DeleteObject();
  pList->m_bmpBack.LoadBitmap(name);  // a missing picture leaves it empty
  pList->Invalidate(TRUE);
  // Shown before the call returns, also to a host that runs no event loop.
  pList->UpdateWindow();
}

int CMonitorDialog::ViewResult(int nListID, int nResult) {
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (!pList) return 0;
  if (nResult != 0) {
    pList->m_nResult = 1;
    ShowPicture(pList, kPassPicture);
  } else {
    pList->m_nResult = 0;
    ShowPicture(pList, kFailPicture);
  }
  return 1;
}

int CMonitorDialog::ViewResult(int nListID, TestJudgeFLAG* pJudge) {
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (!pList || !pJudge) return 0;

  const int mode = pJudge->nJudgeMode;
  const int rows = pList->GetItemCount();
  if (rows == 0) pList->m_nResult = 0;
  for (int i = 0; i < rows; ++i) {
    const DWORD_PTR flag = pList->GetItemData(i);
    if (mode == 1 && flag == 1) {
      pList->m_nResult = static_cast<int>(pJudge->nPassFlag & 1u);
      continue;
    }
    if (mode == 0 || (mode == 1 && flag == 0)) {
      pList->m_nResult = 0;
      break;
    }
    if (mode == 2) {
      pList->m_nResult = 2;
      break;
    }
    // A row flagged neither, or a mode the module does not know: skip it.
  }

  if (pList->m_nResult == 1) {
    ShowPicture(pList, kPassPicture);
    return 1;
  }
  if (pList->m_nResult == 0) {
    ShowPicture(pList, kFailPicture);
    return 0;
  }
  pList->m_nResult = 2;
  ShowPicture(pList, kIdlePicture);
  return 0;
}
