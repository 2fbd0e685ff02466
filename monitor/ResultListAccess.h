// The savers' view of a result list of the monitor: its serial number,
// verdict and rows read out, and the verdict written back. The savers in
// results/ see only these copies, never the list control.
#pragma once

#include <vector>

#include "results/PcbWorkbookExport.h"
#include "results/ResultRow.h"

class CMyListCtrl;
namespace platform {
class CListCtrl;
}

// Rows: column 1 (the item), the header's last column (the result) and the
// item data read as a 32-bit pass flag.
results::ResultListSnapshot ReadResultList(const CMyListCtrl& list);
void StoreVerdict(CMyListCtrl& list, int32_t nResult);

// The items of a result list for the workbook export, first row first: each
// row's text in column 1 and in the header's last column.
std::vector<results::PcbWorkbookItem> ReadPcbWorkbookItems(const platform::CListCtrl& list);
