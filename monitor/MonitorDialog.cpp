#include "monitor/MonitorDialog.h"

#include <algorithm>
#include <cstdio>

#include "mes/MesEndpoint.h"
#include "monitor/GridGeometry.h"
#include "monitor/MyListCtrl.h"
#include "platform/Application.h"
#include "platform/ScreenWorkArea.h"
#include "results/MesOutboxSwitch.h"

using namespace platform;

namespace {

constexpr UINT kIconId = 5049;
constexpr UINT kFailMarkId = 5048;
constexpr UINT kPassMarkId = 5050;
constexpr UINT kOtherMarkId = 5051;
constexpr COLORREF kMaskColour = RGB(255, 0, 0);
constexpr COLORREF kBackgroundColour = RGB(196, 196, 255);

std::string Format(const char* pattern, const std::string& text, int n) {
  int len = std::snprintf(nullptr, 0, pattern, text.c_str(), n);
  std::string out(len > 0 ? static_cast<std::size_t>(len) : 0, '\0');
  if (len > 0) std::snprintf(out.data(), out.size() + 1, pattern, text.c_str(), n);
  return out;
}

std::string PictureName(const char* pattern, int nListID) {
  char buf[32];
  std::snprintf(buf, sizeof buf, pattern, nListID);
  return buf;
}

}  // namespace

CMonitorDialog::CMonitorDialog(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_strColumnNames{"Index", "Item", "Result"},
      m_strColumnWidths{"1", "2", "3"},
      m_strMesUrl(mes::CS_QuerySN::kDefaultMesUrl),
      m_pMesOutbox(std::make_unique<MesOutboxSwitch>()) {
  // The icon is a picture of the windowing toolkit, which must exist first
  // when the host has not made its own application object yet.
  EnsureApplication();
  m_hIcon = LoadIcon(kIconId);
}

CMonitorDialog::~CMonitorDialog() {
  m_pMesOutbox->Close();  // its worker stops before anything else goes
  DestroyLists();
  if (GetSafeHwnd()) DestroyWindow();
  if (m_hBkBrush) {
    DeleteObject(m_hBkBrush);
    m_hBkBrush = nullptr;
  }
}

void CMonitorDialog::DestroyLists() {
  m_bZoomed = false;
  m_pZoomedList = nullptr;
  while (!m_ListCtrls.empty()) {
    // The list leaves m_ListCtrls into an owner that deletes it.
    const std::unique_ptr<CMyListCtrl> pList(m_ListCtrls.front());
    m_ListCtrls.pop_front();
    pList->DestroyWindow();
  }
}

CMyListCtrl* CMonitorDialog::FindListCtrl(int nListID) {
  for (CMyListCtrl* pList : m_ListCtrls) {
    if (pList->m_nListID == nListID) return pList;
  }
  return nullptr;
}

BOOL CMonitorDialog::OnInitDialog() {
  CDialog::OnInitDialog();

  // A window created again after its first one was destroyed starts afresh.
  DestroyLists();
  if (m_hBkBrush) DeleteObject(m_hBkBrush);
  m_hBkBrush = CreateSolidBrush(kBackgroundColour);

  MoveWindow(0, 0, m_nWndWidth, m_nWndHeight, TRUE);
  SetWindowText(m_strTitle);

  CRect screen = m_rcScreen;
  if (screen.IsRectEmpty()) screen = GetPrimaryWorkArea();  // the host gave no area
  const int x = screen.Width() / 2 - m_nWndWidth / 2 + screen.left;
  const int y = screen.Height() / 2 - m_nWndHeight / 2 + screen.top;
  SetWindowPos(&wndTop, x, y, 0, 0, SWP_NOSIZE);

  CRect rcClient;
  GetClientRect(&rcClient);

  if (m_ImageList.IsCreated()) m_ImageList.DeleteImageList();
  m_ImageList.Create(16, 16, ILC_COLOR4 | ILC_MASK, 10, 10);
  for (UINT id : {kFailMarkId, kPassMarkId, kOtherMarkId}) {
    CBitmap mark;
    mark.LoadBitmap(id);
    m_ImageList.Add(&mark, kMaskColour);
  }

  const int rows = std::max(1, m_nRows);
  const int cols = std::max(1, m_nCols);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      auto pOwned = std::make_unique<CMyListCtrl>(r, c);
      CMyListCtrl* pList = pOwned.get();
      if (!pList->Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHAREIMAGELISTS, rcClient, this,
                         static_cast<UINT>(r * cols + c)))
        return FALSE;
      pList->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
      pList->m_nListID = r * cols + c + 1;
      pList->m_bmpBack.DeleteObject();
      pList->m_bmpBack.LoadBitmap(PictureName("LIST%d", pList->m_nListID));
      pList->SetTextBkColor(CLR_NONE);
      // m_ListCtrls owns it from here (DestroyLists deletes it).
      m_ListCtrls.push_back(pOwned.release());
      pList->SetImageList(&m_ImageList, LVSIL_SMALL);
    }
  }

  Initialctrl();
  UpdateLayout();

  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  // Reports an earlier run left in the outbox go out while the window is open.
  m_pMesOutbox->Use(m_strMesOutbox);
  return TRUE;
}

void CMonitorDialog::Initialctrl() {
  for (CMyListCtrl* pList : m_ListCtrls) InsertAllColumns(pList);
}

void CMonitorDialog::UpdateLayout() {
  if (!GetSafeHwnd()) return;  // nothing to lay out before the window exists
  m_bZoomed = false;
  m_pZoomedList = nullptr;
  CRect rc;
  GetClientRect(&rc);
  m_nCellWidth = monitor::CellExtent(rc.Width(), m_nCols, monitor::kGapX);
  m_nCellHeight = monitor::CellExtent(rc.Height(), m_nRows, monitor::kGapY);
  for (CMyListCtrl* pList : m_ListCtrls) {
    pList->ShowWindow(SW_HIDE);
    pList->MoveWindow(rc.left + monitor::CellOffset(m_nCellWidth, pList->m_nCol, monitor::kGapX),
                      rc.top + monitor::CellOffset(m_nCellHeight, pList->m_nRow, monitor::kGapY), m_nCellWidth,
                      m_nCellHeight, FALSE);
    UpdateCtrlHead(pList);
    pList->ShowWindow(SW_SHOW);
  }
  InvalidateRect(nullptr, TRUE);
}

void CMonitorDialog::UpdateCtrlHead(CMyListCtrl* pList) {
  if (!pList) return;
  const std::vector<int> widths = monitor::ColumnWidths(m_nCellWidth, m_nColumnCount, m_strColumnWidths, m_nWidthTotal);
  for (int c = 0; c < static_cast<int>(widths.size()); ++c) pList->SetColumnWidth(c, widths[c]);
}

void CMonitorDialog::ZoomOut(int nListID) {
  CMyListCtrl* pZoomed = nullptr;
  for (CMyListCtrl* pList : m_ListCtrls) {
    pList->ShowWindow(SW_HIDE);
    if (!pZoomed && pList->m_nListID == nListID) pZoomed = pList;
  }
  m_bZoomed = true;
  m_pZoomedList = pZoomed;
  if (!pZoomed) return;

  CRect rc;
  GetClientRect(&rc);
  m_nCellWidth = rc.Width();
  m_nCellHeight = rc.Height();
  pZoomed->MoveWindow(&rc, TRUE);
  UpdateCtrlHead(pZoomed);
  SetWindowText(Format("%s ---- [list%02d View] Zoom In", m_strTitle, nListID));
  pZoomed->ShowWindow(SW_SHOW);
}

bool CMonitorDialog::IsListInView(const CMyListCtrl* pList) const {
  return !m_bZoomed || pList == m_pZoomedList;
}

void CMonitorDialog::OnSize(UINT nType, int cx, int cy) {
  CDialog::OnSize(nType, cx, cy);
  UpdateLayout();
  for (CMyListCtrl* pList : m_ListCtrls) UpdateCtrlHead(pList);
}

void CMonitorDialog::OnLButtonDblClk(UINT nFlags, CPoint point) {
  CDialog::OnLButtonDblClk(nFlags, point);
}

HBRUSH CMonitorDialog::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
  if (nCtlColor == CTLCOLOR_DLG && m_hBkBrush) return m_hBkBrush;
  return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
}

void CMonitorDialog::OnNcDestroy() {
  m_pMesOutbox->Close();  // the background sending ends with the window
  CDialog::OnNcDestroy();
}

BOOL CMonitorDialog::PreTranslateMessage(MSG* pMsg) {
  // Enter and Escape would end the dialog; the monitor stays open until the
  // host closes it.
  if (pMsg && pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST &&
      (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)) {
    return TRUE;
  }
  return CDialog::PreTranslateMessage(pMsg);
}

void CMonitorDialog::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
}
