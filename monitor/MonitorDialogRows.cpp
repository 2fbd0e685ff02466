// The row members of the monitor dialog: columns, test item rows, serial
// number and type of a position, and reading a list back as text.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "monitor/GridGeometry.h"
#include "monitor/MonitorDialog.h"
#include "monitor/MyListCtrl.h"
#include "monitor/ResultText.h"

using namespace platform;
using monitor::ResultClass;

namespace {

constexpr int kMinFittedWidth = 20;

// The texts of columns 1 and 2 come from the host; any further column is
// left empty.
const std::string& HostText(const std::string (&texts)[2], int nCol) {
  static const std::string kEmpty;
  return nCol >= 1 && nCol <= 2 ? texts[nCol - 1] : kEmpty;
}

int MarkOf(ResultClass cls) {
  return static_cast<int>(cls);
}

// Paints now what the row calls changed: the list marks exactly the rows,
// columns and scrolled areas that changed, so nothing else is repainted.
void RepaintNow(CMyListCtrl* pList) {
  pList->UpdateWindow();
}

}  // namespace

void CMonitorDialog::InsertAllColumns(CMyListCtrl* pList) {
  if (!pList) return;
  const std::vector<int> widths = monitor::ColumnWidths(m_nCellWidth, m_nColumnCount, m_strColumnWidths, m_nWidthTotal);
  pList->SetRedraw(FALSE);
  for (int c = 0; c < static_cast<int>(widths.size()); ++c) {
    // Fewer names than columns: the missing headers stay empty.
    const std::string name = c < static_cast<int>(m_strColumnNames.size()) ? m_strColumnNames[c] : std::string();
    pList->InsertColumn(c, name, c == 0 ? LVCFMT_LEFT : LVCFMT_CENTER, widths[c], c);
  }
  pList->SetRedraw(TRUE);
  pList->Invalidate(TRUE);
}

void CMonitorDialog::DeleteAllColumns(CMyListCtrl* pList) {
  if (!pList) return;
  pList->DeleteAllItems();
  // Every header column goes, also when the configured count changed since
  // the columns were built.
  for (int n = pList->GetColumnCount(); n > 0; --n) pList->DeleteColumn(0);
}

int CMonitorDialog::AdjustColumnWidth(int /*nIgnored*/, std::vector<std::string>* pWidths) {
  if (!pWidths) return 0;
  m_strColumnWidths.clear();
  int64_t total = 0;
  for (const std::string& text : *pWidths) {
    total += monitor::ParseWeight(text);
    m_strColumnWidths.push_back(text);
  }
  m_nWidthTotal = static_cast<int>(std::clamp<int64_t>(total, INT_MIN, INT_MAX));
  m_nColumnCount = static_cast<int>(m_strColumnWidths.size());
  UpdateLayout();
  return 1;
}

int CMonitorDialog::AdjustColumnText(int /*nIgnored*/, std::vector<std::string>* pNames) {
  if (!pNames) return 0;
  m_strColumnNames = *pNames;
  if (static_cast<int>(m_strColumnNames.size()) != m_nColumnCount) return 0;
  for (CMyListCtrl* pList : m_ListCtrls) {
    DeleteAllColumns(pList);
    InsertAllColumns(pList);
  }
  return 1;
}

int CMonitorDialog::InsertItem(int nListID, const std::string& strItem, std::string& strResult) {
  const std::string texts[2] = {strItem, strResult};  // shown in the host's own letter case
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (!pList) return 0;

  const int n = pList->GetItemCount();
  const int columns = std::max(1, m_nColumnCount);
  for (int c = 0; c < columns; ++c) {
    if (c == 0) {
      const ResultClass cls = monitor::ClassifyResult(strResult);
      pList->InsertItem(n, monitor::RowNumber(n), MarkOf(cls));
      pList->SetItemData(n, static_cast<DWORD_PTR>(cls));
    } else {
      pList->SetItemText(n, c, HostText(texts, c));
      if (c == 2 && monitor::ResultContains(strResult, "FAIL")) {
        pList->SetItemState(n, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
      }
    }
  }
  pList->EnsureVisible(n, FALSE);
  FitColumnsToContent(pList);
  // Wider columns may have brought a horizontal scroll bar over the new row.
  pList->EnsureVisible(n, FALSE);
  RepaintNow(pList);
  return 1;
}

int CMonitorDialog::InsertItem(int nListID, const std::string& strItem, const std::string& strResult) {
  std::string result = strResult;
  return InsertItem(nListID, strItem, result);
}

int CMonitorDialog::InsertItemExt(int nListID, std::vector<std::string>* pTexts) {
  if (!pTexts || static_cast<int>(pTexts->size()) != m_nColumnCount) return 0;
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (!pList) return 0;

  const int n = pList->GetItemCount();
  for (int c = 0; c < m_nColumnCount; ++c) {
    if (c == 0) {
      pList->InsertItem(n, (*pTexts)[0]);
    } else {
      pList->SetItemText(n, c, (*pTexts)[c]);
    }
  }
  pList->Invalidate(TRUE);
  RepaintNow(pList);
  return 1;
}

int CMonitorDialog::SetItem(int nListID, int nRow, const std::string& strItem, std::string& strResult) {
  const std::string texts[2] = {strItem, strResult};
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (!pList) return 0;
  if (nRow < 0 || nRow >= pList->GetItemCount()) return 0;

  const int columns = std::max(1, m_nColumnCount);
  for (int c = 0; c < columns; ++c) {
    if (c == 0) {
      // Only a pass counts here; fail and neither both show the FAIL mark.
      const bool pass = monitor::ClassifyResult(strResult) == ResultClass::Pass;
      const int flag = pass ? 1 : 0;
      pList->SetItem(nRow, 0, LVIF_TEXT | LVIF_IMAGE, monitor::RowNumber(nRow), flag, 0, 0, 0);
      pList->SetItemData(nRow, static_cast<DWORD_PTR>(flag));
    } else {
      pList->SetItemText(nRow, c, HostText(texts, c));
    }
  }
  pList->EnsureVisible(nRow, FALSE);
  RepaintNow(pList);
  return 1;
}

int CMonitorDialog::SetItem(int nListID, int nRow, const std::string& strItem, const std::string& strResult) {
  std::string result = strResult;
  return SetItem(nListID, nRow, strItem, result);
}

int CMonitorDialog::SetItemExt(int nListID, const std::string& strItem, std::string& strResult) {
  const std::string texts[2] = {strItem, strResult};
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (!pList) return 0;

  const int count = pList->GetItemCount();
  int r = count;
  for (int i = 0; i < count; ++i) {
    if (pList->GetItemText(i, 1) == strItem) {
      r = i;
      break;
    }
  }
  const bool found = r < count;

  const int columns = std::max(1, m_nColumnCount);
  for (int c = 0; c < columns; ++c) {
    if (c == 0) {
      const ResultClass cls = monitor::ClassifyResult(strResult);
      if (found && cls == ResultClass::Neither) {
        // An existing row keeps its number and mark; only its flag changes.
        pList->SetItemData(r, static_cast<DWORD_PTR>(cls));
      } else {
        // A new item is always appended (with the empty mark when its result
        // is neither pass nor fail), so no reported item is lost.
        if (found) {
          pList->SetItem(r, 0, LVIF_TEXT | LVIF_IMAGE, monitor::RowNumber(r), MarkOf(cls), 0, 0, 0);
        } else {
          pList->InsertItem(r, monitor::RowNumber(r), MarkOf(cls));
        }
        pList->SetItemData(r, static_cast<DWORD_PTR>(cls));
      }
    } else {
      pList->SetItemText(r, c, HostText(texts, c));
    }
  }
  pList->EnsureVisible(count, FALSE);
  RepaintNow(pList);
  return 1;
}

int CMonitorDialog::SetItemExt(int nListID, const std::string& strItem, const std::string& strResult) {
  std::string result = strResult;
  return SetItemExt(nListID, strItem, result);
}

int CMonitorDialog::DeleteAllItems(int nListID) {
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (!pList) return 0;
  if (!pList->DeleteAllItems()) return 0;
  pList->Invalidate(TRUE);
  RepaintNow(pList);
  return 1;
}

int CMonitorDialog::SetSerialNumber(int nListID, const std::string& strSerialNumber) {
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (!pList) return 0;
  pList->m_strSerialNumber = strSerialNumber;
  return 1;
}

int CMonitorDialog::SetType(int nListID, const std::string& strType) {
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (!pList) return 0;
  pList->m_strType = strType;
  return 1;
}

void CMonitorDialog::GetResult(int nListID, std::string& strOut) {
  CMyListCtrl* pList = FindListCtrl(nListID);
  if (!pList) return;
  const int last = pList->GetColumnCount() - 1;
  const int rows = pList->GetItemCount();
  for (int i = 0; i < rows; ++i) {
    strOut += pList->GetItemText(i, 1);
    strOut += " = ";
    strOut += pList->GetItemText(i, last);
    strOut += '\n';
  }
}

void CMonitorDialog::FitColumnsToContent(CMyListCtrl* pList) {
  // Refitting hands the keyboard focus from the list (and an open cell
  // editor, which then commits) to the dialog, as hiding the list for the
  // refit did. The list itself stays shown: hiding and showing it again
  // would repaint it whole and queue work for an event loop.
  if (CWnd* focus = GetFocus(); focus && (focus == pList || focus->GetParent() == pList)) SetFocus();

  const int columns = pList->GetColumnCount();
  for (int c = 0; c < columns; ++c) {
    // Sized to the larger of content and header, the column is never
    // narrower than sized to its content alone, so that one measurement
    // (a walk over every row) is enough. Only the final width is set, so a
    // column that keeps its width is not resized and repainted.
    const int w = std::max(pList->GetAutoSizeWidth(c, LVSCW_AUTOSIZE_USEHEADER), kMinFittedWidth);

    const int rows = pList->GetItemCount();
    const int top = pList->GetTopIndex();
    int perPage = pList->GetCountPerPage();
    if (perPage <= 0) perPage = rows;
    const int end = std::min(rows, top + perPage);
    CImageList* pMarks = pList->GetImageList(LVSIL_SMALL);
    int indent = 0;
    int markWidth = 0;
    for (int i = std::max(0, top); i < end; ++i) {
      indent = std::max(indent, pList->GetItemIndent(i));
      const int image = pList->GetItemImage(i);
      IMAGEINFO info;
      if (pMarks && image >= 0 && pMarks->GetImageInfo(image, &info)) {
        markWidth = std::max(markWidth, static_cast<int>(info.rcImage.right - info.rcImage.left));
      }
    }
    pList->SetColumnWidth(c, c == 0 ? w + (indent + 1) * markWidth : w + markWidth);
  }
}
