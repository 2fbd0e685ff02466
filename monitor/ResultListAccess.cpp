#include "monitor/ResultListAccess.h"

#include "monitor/MyListCtrl.h"

results::ResultListSnapshot ReadResultList(const CMyListCtrl& list) {
  results::ResultListSnapshot panel;
  panel.strSerialNumber = list.m_strSerialNumber;
  panel.nResult = list.m_nResult;
  const int nRows = list.GetItemCount();
  const int nLastColumn = list.GetColumnCount() - 1;
  panel.rows.reserve(nRows > 0 ? static_cast<std::size_t>(nRows) : 0);
  for (int nRow = 0; nRow < nRows; ++nRow) {
    results::ResultRow row;
    row.strItem = list.GetItemText(nRow, 1);
    if (nLastColumn >= 0) row.strResult = list.GetItemText(nRow, nLastColumn);
    row.nPassFlag = static_cast<int32_t>(list.GetItemData(nRow));
    panel.rows.push_back(std::move(row));
  }
  return panel;
}

void StoreVerdict(CMyListCtrl& list, int32_t nResult) {
  list.m_nResult = nResult;
}
