// Single-line edit control of the windowing layer. Texts are GBK; selection
// positions count GBK bytes as the platform does.
#pragma once

#include "platform/WinBool.h"
#include "platform/Wnd.h"

namespace platform {

class CEdit : public CWnd {
 public:
  CEdit();
  ~CEdit() override;

  // Styles: WS_CHILD, WS_VISIBLE, WS_BORDER, ES_LEFT / ES_CENTER / ES_RIGHT,
  // ES_AUTOHSCROLL. FALSE when there is no parent window or OnCreate fails.
  virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  // nEndChar -1 selects to the end.
  void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE);
  void GetSel(int& nStartChar, int& nEndChar) const;
};

}  // namespace platform
