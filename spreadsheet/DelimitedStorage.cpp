#include "spreadsheet/DelimitedStorage.h"

#include <algorithm>
#include <climits>

#include "platform/TextCodec.h"
#include "spreadsheet/DelimitedFile.h"
#include "spreadsheet/SheetContents.h"
#include "spreadsheet/SheetErrors.h"

namespace spreadsheet {

DelimitedStorage::DelimitedStorage(SheetContents& sheet, std::string& lastError, const std::string& file)
    : SheetStorage(sheet, lastError), m_strFile(file) {}

bool DelimitedStorage::Load() {
  std::vector<std::string> lines;
  if (!ReadLines(platform::GbkToUtf8(m_strFile), lines)) {
    m_strLastError = kErrOpenFile;
    return false;
  }
  m_sheet.m_aRows = std::move(lines);
  m_sheet.m_nTotalRows = static_cast<int32_t>(std::min<std::size_t>(m_sheet.m_aRows.size(), INT32_MAX));
  if (m_sheet.m_aRows.empty())
    m_sheet.m_aFieldNames.clear();
  else
    m_sheet.m_aFieldNames = m_sheet.Split(m_sheet.m_aRows.front());
  for (const std::string& row : m_sheet.m_aRows) m_sheet.WidenTo(m_sheet.Split(row).size());
  if (m_sheet.m_nTotalColumns != 0) m_sheet.m_bExisting = true;
  m_sheet.m_nCurrentRow = 1;
  return true;
}

bool DelimitedStorage::Commit() {
  if (!WriteLines(platform::GbkToUtf8(m_strFile), m_sheet.m_aRows)) {
    m_strLastError = kErrWriteFile;
    return false;
  }
  return true;
}

bool DelimitedStorage::WriteBackup() {
  const std::string file = m_strFile;
  m_strFile = file + ".bak";
  const bool written = Commit();
  m_strFile = file;
  return written;
}

bool DelimitedStorage::DeleteOwnSheet(bool inTransaction) {
  m_sheet.m_aRows.clear();
  m_sheet.m_aFieldNames.clear();
  m_sheet.m_nTotalColumns = 0;
  m_sheet.m_nTotalRows = 0;
  if (!inTransaction) Commit();
  m_sheet.m_bExisting = false;
  return true;
}

bool DelimitedStorage::DeleteSheet(const std::string&, bool inTransaction) {
  return DeleteOwnSheet(inTransaction);
}

bool DelimitedStorage::ReplaceRows(const std::vector<std::string>&, const std::vector<std::string>&) {
  m_strLastError = kErrNotDelimited;
  return false;
}

int32_t DelimitedStorage::MaxRows() const {
  return INT32_MAX;
}

}  // namespace spreadsheet
