#include "platform/Dialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QFont>

#include "platform/Application.h"
#include "platform/Resources.h"
#include "platform/WndBridge_p.h"

namespace platform {

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
  if (m_loop) static_cast<QEventLoop*>(m_loop)->exit(IDCANCEL);
  if (GetSafeHwnd()) DestroyWindow();
}

BOOL CDialog::CreateFromTemplate(CWnd* pParentWnd) {
  EnsureApplication();
  const std::optional<DialogTemplate> tmpl = FindDialogTemplate(m_nIDTemplate);
  if (!tmpl || GetSafeHwnd()) return FALSE;
  QWidget* parentWidget = pParentWnd ? pParentWnd->GetQWidget() : nullptr;
  auto* widget =
      new Bridged<QWidget>(parentWidget, Qt::Window | Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                             Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  QFont font(ToQt(tmpl->fontFace));
  font.setPointSize(tmpl->fontPointSize);
  widget->setFont(font);
  widget->setWindowTitle(ToQt(tmpl->caption));
  // The background is painted by OnEraseBkgnd.
  widget->setAttribute(Qt::WA_OpaquePaintEvent);
  // Dialogs take the focus when clicked, so a click anywhere ends a child's editing.
  widget->setFocusPolicy(Qt::ClickFocus);
  const RECT rect{0, 0, tmpl->width, tmpl->height};
  if (!CreateOver(widget, tmpl->style & ~WS_VISIBLE, rect, pParentWnd, 0)) return FALSE;
  OnInitDialog();
  return GetSafeHwnd() != nullptr;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
  m_nIDTemplate = nIDTemplate;
  if (pParentWnd) m_pParentWnd = pParentWnd;
  m_modal = false;
  return CreateFromTemplate(m_pParentWnd);
}

INT_PTR CDialog::DoModal() {
  m_modal = true;
  m_modalResult = -1;
  if (!CreateFromTemplate(m_pParentWnd)) {
    m_modal = false;
    return -1;
  }
  QEventLoop loop;
  m_loop = &loop;
  m_modalResult = IDCANCEL;
  if (QWidget* w = GetQWidget()) w->setWindowModality(Qt::ApplicationModal);
  ShowWindow(SW_SHOW);
  const int result = loop.exec();
  m_loop = nullptr;
  m_modal = false;
  if (GetSafeHwnd()) DestroyWindow();
  return result;
}

void CDialog::EndDialog(int nResult) {
  m_modalResult = nResult;
  if (m_loop) {
    static_cast<QEventLoop*>(m_loop)->exit(nResult);
    return;
  }
  ShowWindow(SW_HIDE);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  UpdateData(TRUE);
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

BOOL CDialog::UpdateData(BOOL /*bSaveAndValidate*/) {
  CDataExchange dx;
  DoDataExchange(&dx);
  return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnEraseBkgnd(CDC* pDC) {
  HBRUSH brush = reinterpret_cast<HBRUSH>(
      SendMessage(WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(pDC), reinterpret_cast<LPARAM>(GetSafeHwnd())));
  if (!brush) return CWnd::OnEraseBkgnd(pDC);
  RECT client;
  GetClientRect(&client);
  pDC->FillRect(&client, brush);
  return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
  // The platform's dialog manager: Enter and Escape anywhere in the dialog
  // end it, unless a window before it in the chain consumed them.
  if (pMsg && pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)) {
    if (pMsg->wParam == VK_RETURN)
      OnOK();
    else
      OnCancel();
    return TRUE;
  }
  return CWnd::PreTranslateMessage(pMsg);
}

void CDialog::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
  // What the platform's dialog manager does with Enter and Escape.
  if (nChar == VK_RETURN) {
    OnOK();
    return;
  }
  if (nChar == VK_ESCAPE) {
    OnCancel();
    return;
  }
  CWnd::OnKeyDown(nChar, nRepCnt, nFlags);
}

void CDialog::OnClose() {
  OnCancel();
}

}  // namespace platform
