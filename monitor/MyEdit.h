// The in-place editor of one list cell. Created on the heap by the list; it
// reports its text to the list with LVN_ENDLABELEDIT when it loses the focus
// and deletes itself when its window goes.
#pragma once

#include <string>

#include "platform/Edit.h"

class CMyEdit : public platform::CEdit {
 public:
  CMyEdit(int iItem, int iSubItem, const std::string& sInitText);
  ~CMyEdit() override;

  platform::BOOL PreTranslateMessage(platform::MSG* pMsg) override;

  int m_iItem;
  int m_iSubItem;
  std::string m_sInitText;
  platform::BOOL m_bESC = 0;

 protected:
  int OnCreate(platform::LPCREATESTRUCT lpCreateStruct) override;
  void OnChar(platform::UINT nChar, platform::UINT nRepCnt, platform::UINT nFlags) override;
  void OnKillFocus(platform::CWnd* pNewWnd) override;
  void OnPaint() override;
  void PostNcDestroy() override;

 private:
  void WidenToText();
  void EndEdit();
};
