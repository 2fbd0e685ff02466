// The result list of one test position: a report list that paints its
// picture (the list's number or verdict) under the rows, carries the
// position's record, and opens the in-place cell editor.
#pragma once

#include <string>

#include "platform/ListCtrl.h"

class CMyEdit;

class CMyListCtrl : public platform::CListCtrl {
 public:
  CMyListCtrl(int nRow, int nCol);
  ~CMyListCtrl() override;

  // Stores the rows to m_strArchiveFile (bStoring) or loads them from it.
  virtual bool ArchiveContents(bool bStoring);

  // Cell under the point: the row, and the column in *pCol; -1 when none.
  int HitTestEx(platform::CPoint point, int* pCol) const;
  // Opens the cell editor on (nItem, nCol); null when no editor can open.
  CMyEdit* EditSubLabel(int nItem, int nCol);

  platform::BOOL m_bEditMode = 0;  // in-place editing switch, flipped by WM_HOTKEY
  platform::CBitmap m_bmpBack;     // picture stretched under the rows
  int m_nCol;
  int m_nRow;
  int m_nListID = 0;
  int m_nResult = 0;  // 0 FAIL, 1 PASS, 2 undetermined
  std::string m_strSerialNumber;
  std::string m_strType = "NULL";
  std::string m_strArchiveFile;

 protected:
  platform::BOOL OnEraseBkgnd(platform::CDC* pDC) override;
  void OnLButtonDown(platform::UINT nFlags, platform::CPoint point) override;
  void OnSize(platform::UINT nType, int cx, int cy) override;
  void OnHScroll(platform::UINT nSBCode, platform::UINT nPos, platform::CScrollBar* pScrollBar) override;
  void OnVScroll(platform::UINT nSBCode, platform::UINT nPos, platform::CScrollBar* pScrollBar) override;
  platform::BOOL OnMouseWheel(platform::UINT nFlags, short zDelta, platform::CPoint pt) override;
  platform::LRESULT OnHotKey(platform::WPARAM wParam, platform::LPARAM lParam) override;
  platform::BOOL OnChildNotify(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                               platform::LRESULT* pResult) override;

 private:
  void TakeFocus();
};
