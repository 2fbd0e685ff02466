// The monitor window the host program drives: a grid of result lists, one per
// test position. The host constructs the dialog, sets the public fields below,
// creates the window (Create + ShowWindow, or DoModal) and then calls the
// members on its GUI thread. Every text is GBK bytes.
#pragma once

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "monitor/TestJudgeFLAG.h"
#include "platform/Dialog.h"
#include "platform/Export.h"
#include "platform/Gdi.h"
#include "platform/WinTypes.h"
#include "results/ResultStructrue.h"

class CMyListCtrl;

class MesOutboxSwitch;

class MONITOR_API CMonitorDialog : public platform::CDialog {
 public:
  enum { IDD = 15003 };

  explicit CMonitorDialog(platform::CWnd* pParent = nullptr);
  ~CMonitorDialog() override;

  // ---- Configuration and state (the host sets the grid fields before the
  // window is created; the module never changes them afterwards).
  platform::HICON m_hIcon = nullptr;      // icon 5049, big and small
  platform::HBRUSH m_hBkBrush = nullptr;  // RGB(196,196,255) dialog background
  std::list<CMyListCtrl*> m_ListCtrls;    // owned; row by row, column by column
  platform::CRect m_rcScreen;             // area to centre the window in
  std::string m_strTitle;                 // window title
  int m_nRows = 1;                        // grid rows
  int m_nCols = 1;                        // grid columns
  int m_nCellWidth = 130;                 // one list's size as last laid out
  int m_nCellHeight = 130;
  int m_nColumnCount = 3;  // columns of every list
  int m_nWidthTotal = 6;   // sum of the width weights
  int m_nWndWidth = 800;   // window size at initialisation
  int m_nWndHeight = 600;
  std::vector<std::string> m_strColumnNames;   // header texts
  std::vector<std::string> m_strColumnWidths;  // width weights as decimal texts
  platform::CImageList m_ImageList;            // row marks: 0 FAIL, 1 PASS, 2 other (empty)
  // Where the savers report units to the MES service (mes::CS_QuerySN::kDefaultMesUrl
  // unless the host sets it).
  std::string m_strMesUrl;
  // Outbox file (GBK path; empty: off). When set, every report is committed
  // to it before its first attempt and sent again until the MES takes it,
  // also by a background worker while the window is open.
  std::string m_strMesOutbox;

  // ---- Window.
  platform::BOOL OnInitDialog() override;
  void Initialctrl();
  void UpdateLayout();
  void UpdateCtrlHead(CMyListCtrl* pList);
  void ZoomOut(int nListID);
  void OnSize(platform::UINT nType, int cx, int cy) override;
  void OnLButtonDblClk(platform::UINT nFlags, platform::CPoint point) override;
  platform::HBRUSH OnCtlColor(platform::CDC* pDC, platform::CWnd* pWnd, platform::UINT nCtlColor) override;
  void OnNcDestroy() override;
  platform::BOOL PreTranslateMessage(platform::MSG* pMsg) override;
  void DoDataExchange(platform::CDataExchange* pDX) override;

  // First list whose m_nListID equals nListID; nullptr when none.
  CMyListCtrl* FindListCtrl(int nListID);

  // ---- Rows. Result texts are classified PASS / FAIL / neither; the
  // non-const result string comes back upper-cased.
  void InsertAllColumns(CMyListCtrl* pList);
  void DeleteAllColumns(CMyListCtrl* pList);
  int AdjustColumnWidth(int nIgnored, std::vector<std::string>* pWidths);
  int AdjustColumnText(int nIgnored, std::vector<std::string>* pNames);
  int InsertItem(int nListID, const std::string& strItem, std::string& strResult);
  int InsertItemExt(int nListID, std::vector<std::string>* pTexts);
  int SetItem(int nListID, int nRow, const std::string& strItem, std::string& strResult);
  int SetItemExt(int nListID, const std::string& strItem, std::string& strResult);
  // The same for a result the caller does not need back (literals, const).
  int InsertItem(int nListID, const std::string& strItem, const std::string& strResult);
  int SetItem(int nListID, int nRow, const std::string& strItem, const std::string& strResult);
  int SetItemExt(int nListID, const std::string& strItem, const std::string& strResult);
  int DeleteAllItems(int nListID);
  int SetSerialNumber(int nListID, const std::string& strSerialNumber);
  int SetType(int nListID, const std::string& strType);
  // Appends "item = result\n" for every row of the list.
  void GetResult(int nListID, std::string& strOut);

  // ---- Verdict. 1 when the list exists (first) / when the shown verdict is PASS.
  int ViewResult(int nListID, int nResult);
  int ViewResult(int nListID, TestJudgeFLAG* pJudge);

  // ---- Saving one unit: result logs and the MES report / a row in PCB.xls.
  // 1 on success, 0 on failure or when no list has the identifier.
  int SaveResult(int nListID, ResultStructrue* pResult);
  int SaveResult2EXL(int nListID, ResultStructrue* pResult);
  // Reports in the outbox: waiting to be sent, refused by the MES (waiting
  // for a technician), delivered since local midnight. 1 when the outbox is
  // on and readable, 0 otherwise (the counts are then 0). Null pointers are
  // skipped.
  int GetMesOutboxCounts(int* pnPending, int* pnRefused, int* pnDeliveredToday);

 private:
  void DestroyLists();
  void FitColumnsToContent(CMyListCtrl* pList);
  void ShowPicture(CMyListCtrl* pList, const char* pszFormat);
  // True when the list is to be seen in the current view: every list in the
  // grid, only the zoomed one (if any matched) after ZoomOut.
  bool IsListInView(const CMyListCtrl* pList) const;

  bool m_bZoomed = false;                         // ZoomOut ran since the last layout
  CMyListCtrl* m_pZoomedList = nullptr;           // the list it shows; null when none matched
  std::unique_ptr<MesOutboxSwitch> m_pMesOutbox;  // the outbox m_strMesOutbox names, once used
};
