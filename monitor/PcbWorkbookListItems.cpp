#include "monitor/ResultListAccess.h"
#include "platform/ListCtrl.h"

std::vector<results::PcbWorkbookItem> ReadPcbWorkbookItems(const platform::CListCtrl& list) {
  std::vector<results::PcbWorkbookItem> items;
  int rows = list.GetItemCount();
  int last = list.GetColumnCount() - 1;
  items.reserve(rows > 0 ? static_cast<std::size_t>(rows) : 0);
  for (int row = 0; row < rows; ++row) {
    results::PcbWorkbookItem item;
    item.strName = list.GetItemText(row, 1);
    if (last >= 0) item.strValue = list.GetItemText(row, last);
    items.push_back(std::move(item));
  }
  return items;
}
