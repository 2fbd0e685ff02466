// Appending one tested unit to the station's shared workbook PCB.xls: one
// worksheet per product model, a header row naming the test items, and one
// row per export with its time, the serial number and every item's value.
#pragma once

#include <string>
#include <vector>

#include "results/ResultStructrue.h"

namespace results {

// One test item as the result list shows it.
struct PcbWorkbookItem {
  std::string strName;   // the item name (list column 1)
  std::string strValue;  // the value or verdict (the list's last column)
};

// "<executable directory>/PCB.xls".
std::string PcbWorkbookPath();

// Appends the unit's row to the sheet named after record.strModel in
// PCB.xls, creating the sheet with its header on the model's first export and
// keeping a one-time backup sheet of it. Returns TRUE (1) when the row was
// written or the sheet refused it (more items than the sheet has item
// columns, repeated item names on a new sheet), FALSE (0) when there is no
// PCB.xls (it is never created here), when the workbook cannot be reached
// (unreadable, or held by another station for too long) or when writing it
// failed. pLastError, when given, receives the accessor's last message.
int ExportToPcbWorkbook(const ResultStructrue& record, const std::string& strSerialNumber,
                        const std::vector<PcbWorkbookItem>& items, std::string* pLastError = nullptr);

}  // namespace results
