// The savers' view of a result list of the monitor: its serial number,
// verdict and rows read out, and the verdict written back.
#pragma once

#include "results/ResultRow.h"

class CMyListCtrl;

// Rows: column 1 (the item), the header's last column (the result) and the
// item data read as a 32-bit pass flag.
ResultListSnapshot ReadResultList(const CMyListCtrl& list);
void StoreVerdict(CMyListCtrl& list, int32_t nResult);
