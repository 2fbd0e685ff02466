// Dialog windows of the windowing layer. A dialog is made from a dialog
// template resource (15003: an empty resizable pop-up with caption and system
// menu, font "MS Shell Dlg" 10 pt); OnInitDialog runs once the window and its
// font exist, before it is shown.
#pragma once

#include "platform/Export.h"
#include "platform/Wnd.h"

namespace platform {

// What DoDataExchange receives: this layer's dialogs have no controls whose
// data is exchanged, so it carries nothing.
class CDataExchange {};

// Exported for its type information and the calls Create, DoModal and
// EndDialog (cmake/exports.map), see CWnd.
class MONITOR_API CDialog : public CWnd {
 public:
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Modeless: creates the window, runs OnInitDialog and leaves the window
  // hidden (the template has no WS_VISIBLE): call ShowWindow(SW_SHOW).
  // FALSE when the template does not exist. As on the platform, the result
  // of OnInitDialog does not decide creation (the window stays).
  BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  // Modal: creates, initialises and shows the window and runs an event loop
  // until EndDialog. Returns the EndDialog value, -1 when creation fails.
  virtual INT_PTR DoModal();
  // Modal: leaves DoModal's loop with nResult; modeless: hides the window.
  void EndDialog(int nResult);

  virtual BOOL OnInitDialog();
  // Enter and Escape in a dialog end it with IDOK / IDCANCEL unless a
  // pre-translation hook consumes them; so does closing the window (IDCANCEL).
  virtual void OnOK();
  virtual void OnCancel();

  // Enter and Escape: OnOK / OnCancel (the platform's dialog keys).
  BOOL PreTranslateMessage(MSG* pMsg) override;

  BOOL UpdateData(BOOL bSaveAndValidate = 1);

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  // Paints the background with the brush OnCtlColor gives for CTLCOLOR_DLG.
  BOOL OnEraseBkgnd(CDC* pDC) override;
  void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
  void OnClose() override;

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;

 private:
  BOOL CreateFromTemplate(CWnd* pParentWnd);
  bool m_modal = false;
  int m_modalResult = -1;
  void* m_loop = nullptr;
};

}  // namespace platform
