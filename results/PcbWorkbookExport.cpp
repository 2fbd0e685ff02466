#include "results/PcbWorkbookExport.h"

#include <sys/stat.h>

#include "platform/Clock.h"
#include "platform/ExeDirectory.h"
#include "platform/TextCodec.h"
#include "spreadsheet/SpreadSheet.h"

namespace results {

namespace {

const std::string& TimeHeader() {
  static const std::string text = platform::Gbk(u8"时间");
  return text;
}

const std::string& DateLabel() {
  static const std::string text = platform::Gbk(u8"当前日期：");
  return text;
}

bool IsFile(const std::string& gbkPath) {
  struct stat st {};
  return ::stat(platform::GbkToUtf8(gbkPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string PcbWorkbookPath() {
  return CBasic::GetExeDirectory() + "/PCB.xls";
}

int ExportToPcbWorkbook(const ResultStructrue& record, const std::string& strSerialNumber,
                        const std::vector<PcbWorkbookItem>& items, std::string* pLastError) {
  // The station provides the workbook; an export never creates it.
  std::string path = PcbWorkbookPath();
  if (!IsFile(path)) return 0;

  try {
    CSpreadSheet sheet(path, record.strModel, true);
    auto report = [&] {
      if (pLastError) *pLastError = sheet.m_strLastError;
    };
    sheet.BeginTransaction();
    if (items.empty()) {
      report();
      return 1;
    }

    // On a new sheet this is the header; on an existing one the stored header
    // already holds these names and stays as it is.
    std::vector<std::string> header{TimeHeader(), "SN"};
    for (const PcbWorkbookItem& item : items) header.push_back(item.strName);
    sheet.AddHeaders(header, false);

    // The time of the row, read once the workbook is ours: opening it may
    // have waited for another station to finish its export.
    std::string time = platform::FormatLocalTime(platform::CurrentTime(), "%Y/%m/%d  %H:%M:%S");
    // Values go by position under the stored item columns.
    std::vector<std::string> row{DateLabel() + time, strSerialNumber};
    for (const PcbWorkbookItem& item : items) row.push_back(item.strValue);
    if (!sheet.AddRow(row, 0, false)) {
      // Refused by the sheet's layout: nothing to write, and not a fault of
      // the station.
      report();
      return 1;
    }
    bool written = sheet.Commit();
    report();
    return written ? 1 : 0;
  } catch (const std::exception& e) {
    // The workbook cannot be reached (the database front's CDBException, its
    // message as the error text) or anything else went wrong: no row, and the
    // host's save goes on.
    if (pLastError) *pLastError = e.what();
    return 0;
  }
}

}  // namespace results
