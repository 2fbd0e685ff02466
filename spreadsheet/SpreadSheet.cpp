#include "spreadsheet/SpreadSheet.h"

#include <algorithm>
#include <climits>
#include <unordered_map>

#include "spreadsheet/DelimitedStorage.h"
#include "spreadsheet/SheetContents.h"
#include "spreadsheet/SheetErrors.h"
#include "spreadsheet/WorkbookStorage.h"

using namespace spreadsheet;

namespace {

const char kWorkbookSeparator[] = ",;.?";

std::string Format(const char* pattern, const std::string& arg) {
  std::string out;
  for (const char* p = pattern; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      out += arg;
      ++p;
    } else {
      out.push_back(*p);
    }
  }
  return out;
}

// Upper-cases ASCII letters only, and never the trail byte of a GBK character.
std::string UpperAscii(const std::string& text) {
  std::string out = text;
  for (std::size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < out.size()) {
      ++i;  // skip the trail byte
      continue;
    }
    if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace

CSpreadSheet::CSpreadSheet(const std::string& File, const std::string& SheetOrSeparator, bool Backup)
    : m_bBackup(Backup), m_strFile(File), m_pSheet(std::make_unique<SheetContents>()) {
  std::string tail = File.size() >= 4 ? File.substr(File.size() - 4) : File;
  for (char& c : tail)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (tail == ".xls") {
    m_bExcel = true;
    m_pSheet->m_strSeparator = kWorkbookSeparator;
    m_pStorage = std::make_unique<WorkbookStorage>(*m_pSheet, m_strLastError, File, SheetOrSeparator);
  } else {
    m_pSheet->m_strSeparator = SheetOrSeparator;
    m_pStorage = std::make_unique<DelimitedStorage>(*m_pSheet, m_strLastError, File);
  }

  if (!Load() || !m_bBackup || !m_pSheet->m_bExisting) return;
  if (!m_pStorage->WriteBackup()) m_bBackup = false;
}

CSpreadSheet::~CSpreadSheet() = default;

int16_t CSpreadSheet::GetTotalColumns() const {
  return m_pSheet->m_nTotalColumns;
}
int32_t CSpreadSheet::GetTotalRows() const {
  return m_pSheet->m_nTotalRows;
}
int32_t CSpreadSheet::GetCurrentRow() const {
  return m_pSheet->m_nCurrentRow;
}
bool CSpreadSheet::IsExisting() const {
  return m_pSheet->m_bExisting;
}

// ---- helpers ---------------------------------------------------------------

std::string CSpreadSheet::BlankRow() const {
  const std::vector<std::string> cells(static_cast<std::size_t>(std::max<int16_t>(m_pSheet->m_nTotalColumns, 0)),
                                       m_pStorage->BlankCell());
  return m_pSheet->RowText(cells);
}

bool CSpreadSheet::RefuseNegativeRow(int32_t row) {
  if (row >= 0) return false;
  m_strLastError = kErrRowNegative;
  return true;
}

// A row to write: not negative, and not beyond what the storage holds (the gap
// would otherwise be filled with blank rows first).
bool CSpreadSheet::RefuseRowToWrite(int32_t row) {
  if (RefuseNegativeRow(row)) return true;
  if (row <= m_pStorage->MaxRows()) return false;
  m_strLastError = kErrRowLimit;
  return true;
}

bool CSpreadSheet::RefuseBadColumn(int16_t column) {
  if (column == 0) {
    m_strLastError = kErrColumnZero;
    return true;
  }
  if (column < 0) {
    m_strLastError = kErrColumnNegative;
    return true;
  }
  return false;
}

// The first value, in list order, that has an equal partner.
bool CSpreadSheet::FindDuplicate(const std::vector<std::string>& values, std::string& duplicate) const {
  std::unordered_map<std::string_view, int> count;
  for (const std::string& v : values) ++count[v];
  for (const std::string& v : values) {
    if (count[v] > 1) {
      duplicate = v;
      return true;
    }
  }
  return false;
}

// ---- loading, commit, transactions ------------------------------------------

bool CSpreadSheet::Load() {
  return m_pStorage->Load();
}

void CSpreadSheet::BeginTransaction() {
  m_bInTransaction = true;
}

bool CSpreadSheet::Commit() {
  if (!m_pStorage->Commit()) return false;
  m_bInTransaction = false;
  return true;
}

bool CSpreadSheet::RollBack() {
  if (Load()) {
    m_bInTransaction = false;
    return true;
  }
  m_strLastError = kErrRollBack;
  return false;
}

// ---- header ------------------------------------------------------------------

void CSpreadSheet::GetFieldNames(std::vector<std::string>& FieldNames) {
  FieldNames = m_pSheet->m_aFieldNames;
}

bool CSpreadSheet::AddHeaders(const std::vector<std::string>& FieldNames, bool replace) {
  if (!m_pSheet->m_bExisting) {
    m_pSheet->m_nTotalColumns = ClampColumns(FieldNames.size());
    return AddRow(FieldNames, 1, true);
  }
  if (replace) return AddRow(FieldNames, 1, true);

  std::vector<std::string> stored;
  if (!ReadRow(stored, 1)) return false;
  m_pSheet->m_aFieldNames = stored;
  if (m_pStorage->ColumnsNamedByHeader()) {
    for (const std::string& name : FieldNames) {
      if (std::ranges::find(m_pSheet->m_aFieldNames, name) != m_pSheet->m_aFieldNames.end()) {
        m_strLastError = Format(kErrDuplicate, name);
        return false;
      }
    }
  }
  m_pSheet->m_aFieldNames.insert(m_pSheet->m_aFieldNames.end(), FieldNames.begin(), FieldNames.end());
  std::vector<std::string> header = m_pSheet->m_aFieldNames;
  if (!AddRow(header, 1, true)) {
    m_strLastError = kErrAddHeaders;
    return false;
  }
  m_pSheet->WidenTo(header.size());
  return true;
}

// ---- rows and cells ----------------------------------------------------------

bool CSpreadSheet::AddRow(const std::vector<std::string>& RowValues, int32_t row, bool replace) {
  if (RefuseRowToWrite(row)) return false;
  // Inserting moves the stored rows; replacing one needs the others for the
  // rewrite that follows. A new last row or a new header needs none of them.
  if (row != 0 && row <= m_pSheet->m_nTotalRows && !(row == 1 && replace) && !m_pStorage->EnsureRows()) return false;
  if (row == 1) {
    if (m_pStorage->ColumnsNamedByHeader()) {
      std::string duplicate;
      if (FindDuplicate(RowValues, duplicate)) {
        m_strLastError = Format(kErrDuplicate, duplicate);
        return false;
      }
      if (RowValues.size() < static_cast<std::size_t>(std::max<int16_t>(m_pSheet->m_nTotalColumns, 0))) {
        m_strLastError = kErrFewerHeaders;
        return false;
      }
      m_pSheet->m_nTotalColumns = ClampColumns(RowValues.size());
    }
    m_pSheet->m_aFieldNames = RowValues;
  } else if (m_pStorage->ColumnsNamedByHeader() && m_pSheet->m_nTotalColumns == 0) {
    m_strLastError = kErrNoHeader;
    return false;
  }

  if (m_pStorage->ColumnsNamedByHeader()) {
    if (RowValues.size() > m_pSheet->m_aFieldNames.size()) {
      m_strLastError = kErrTooWide;
      return false;
    }
  } else {
    m_pSheet->WidenTo(RowValues.size());
  }

  std::string text = m_pSheet->RowText(RowValues);
  if (row == 0) {
    m_pSheet->m_aRows.push_back(std::move(text));
  } else if (row <= m_pSheet->m_nTotalRows) {
    m_pStorage->ChangeStoredRow(row);
    auto at = m_pSheet->m_aRows.begin() + (row - 1);
    if (replace)
      *at = std::move(text);
    else
      m_pSheet->m_aRows.insert(at, std::move(text));
  } else {
    std::string blank = BlankRow();
    while (static_cast<int32_t>(m_pSheet->m_aRows.size()) < row - 1) m_pSheet->m_aRows.push_back(blank);
    m_pSheet->m_aRows.push_back(std::move(text));
    m_pSheet->m_nCurrentRow = row;
  }
  m_pSheet->m_nTotalRows = static_cast<int32_t>(m_pSheet->m_aRows.size());

  if (!m_bInTransaction) Commit();  // its failure stays in m_strLastError
  return true;
}

bool CSpreadSheet::AddCell(const std::string& CellValue, int16_t column, int32_t row) {
  if (RefuseBadColumn(column) || RefuseRowToWrite(row)) return false;
  if (m_pStorage->ColumnsNamedByHeader()) {
    if (static_cast<std::size_t>(column) > m_pSheet->m_aFieldNames.size() + 1) {
      m_strLastError = kErrCellTooWide;
      return false;
    }
  } else {
    m_pSheet->WidenTo(static_cast<std::size_t>(column));
  }

  if (row == 0 || row > m_pSheet->m_nTotalRows) {
    if (row > m_pSheet->m_nTotalRows) {
      std::string blank = BlankRow();
      while (static_cast<int32_t>(m_pSheet->m_aRows.size()) < row - 1) m_pSheet->m_aRows.push_back(blank);
    }
    std::vector<std::string> cells(static_cast<std::size_t>(std::max<int16_t>(m_pSheet->m_nTotalColumns, 0)),
                                   m_pStorage->BlankCell());
    if (static_cast<std::size_t>(column) <= cells.size()) cells[static_cast<std::size_t>(column - 1)] = CellValue;
    m_pSheet->m_aRows.push_back(m_pSheet->RowText(cells));
    m_pSheet->m_nTotalRows = static_cast<int32_t>(m_pSheet->m_aRows.size());
    if (row != 0) m_pSheet->m_nCurrentRow = row;
    if (!m_bInTransaction) Commit();
    return true;
  }

  std::vector<std::string> values;
  if (!ReadRow(values, row)) return false;
  if (values.size() < static_cast<std::size_t>(column)) values.resize(static_cast<std::size_t>(column));
  values[static_cast<std::size_t>(column - 1)] = CellValue;
  if (row == 1) {
    std::string duplicate;
    if (m_pStorage->ColumnsNamedByHeader() && FindDuplicate(values, duplicate)) {
      m_strLastError = Format(kErrDuplicate, duplicate);
      return false;
    }
    m_pSheet->m_aFieldNames = values;
  }
  // AddRow commits unless a transaction is open.
  return AddRow(values, row, true);
}

bool CSpreadSheet::AddCell(const std::string& CellValue, const std::string& column, int32_t row, bool Auto) {
  int16_t number = ColumnNumber(column, Auto);
  if (number == 0) return false;
  return AddCell(CellValue, number, row);
}

bool CSpreadSheet::ReadRow(std::vector<std::string>& RowValues, int32_t row) {
  if (RefuseNegativeRow(row)) return false;
  if (static_cast<std::size_t>(row) > m_pSheet->m_aRows.size()) {
    m_strLastError = kErrRowBeyond;
    return false;
  }
  if (row == 0) {
    const int32_t current = m_pSheet->m_nCurrentRow;
    if (current < 1 || static_cast<std::size_t>(current) > m_pSheet->m_aRows.size()) return false;
  } else {
    m_pSheet->m_nCurrentRow = row;
  }
  if (!m_pStorage->EnsureRow(m_pSheet->m_nCurrentRow)) return false;
  RowValues = m_pSheet->Split(m_pSheet->m_aRows[static_cast<std::size_t>(m_pSheet->m_nCurrentRow - 1)]);
  ++m_pSheet->m_nCurrentRow;
  return true;
}

bool CSpreadSheet::ReadColumn(std::vector<std::string>& ColumnValues, int16_t column) {
  if (RefuseBadColumn(column) || !m_pStorage->EnsureRows()) return false;
  ColumnValues.clear();
  for (const std::string& text : m_pSheet->m_aRows) {
    std::vector<std::string> values = m_pSheet->Split(text);
    if (values.size() >= static_cast<std::size_t>(column))
      ColumnValues.push_back(values[static_cast<std::size_t>(column - 1)]);
    else
      ColumnValues.emplace_back();
  }
  return true;
}

bool CSpreadSheet::ReadColumn(std::vector<std::string>& ColumnValues, const std::string& column, bool Auto) {
  int16_t number = ColumnNumber(column, Auto);
  if (number == 0) return false;
  return ReadColumn(ColumnValues, number);
}

bool CSpreadSheet::ReadCell(std::string& CellValue, int16_t column, int32_t row) {
  if (RefuseBadColumn(column) || RefuseNegativeRow(row)) return false;
  int32_t which = row != 0 ? row : m_pSheet->m_nCurrentRow;
  if (which < 1 || static_cast<std::size_t>(which) > m_pSheet->m_aRows.size()) {
    m_strLastError = kErrReadRow;
    return false;
  }
  if (!m_pStorage->EnsureRow(which)) return false;
  std::vector<std::string> values = m_pSheet->Split(m_pSheet->m_aRows[static_cast<std::size_t>(which - 1)]);
  if (values.size() < static_cast<std::size_t>(column)) {
    CellValue.clear();
    return false;
  }
  CellValue = values[static_cast<std::size_t>(column - 1)];
  return true;
}

bool CSpreadSheet::ReadCell(std::string& CellValue, const std::string& column, int32_t row, bool Auto) {
  int16_t number = ColumnNumber(column, Auto);
  if (number == 0) return false;
  return ReadCell(CellValue, number, row);
}

int16_t CSpreadSheet::ColumnNumber(const std::string& column, bool Auto) {
  std::string text = Auto ? UpperAscii(column) : column;
  if (Auto && (text.size() == 1 || text.size() == 2) &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
    if (text.size() == 1) return static_cast<int16_t>(text[0] - 64);
    return static_cast<int16_t>((text[0] - 64) * 26 + (text[1] - 64));
  }
  // Anything else, including a short text that is not column letters, is a
  // header name.
  for (std::size_t i = 0; i < m_pSheet->m_aFieldNames.size() && i < static_cast<std::size_t>(INT16_MAX); ++i) {
    if (m_pSheet->m_aFieldNames[i] == text) return static_cast<int16_t>(i + 1);
  }
  m_strLastError = kErrColumnName;
  return 0;
}

// ---- whole sheet ---------------------------------------------------------------

bool CSpreadSheet::DeleteSheet() {
  return m_pStorage->DeleteOwnSheet(m_bInTransaction);
}

bool CSpreadSheet::DeleteSheet(const std::string& SheetName) {
  return m_pStorage->DeleteSheet(SheetName, m_bInTransaction);
}

bool CSpreadSheet::ReplaceRows(const std::vector<std::string>& NewRowValues,
                               const std::vector<std::string>& OldRowValues) {
  return m_pStorage->ReplaceRows(NewRowValues, OldRowValues);
}

bool CSpreadSheet::ConvertFormat(const std::string& SheetOrSeparator) {
  std::string path = m_strFile.size() >= 4 ? m_strFile.substr(0, m_strFile.size() - 4) : std::string();
  path += m_pStorage->OtherKindExtension();
  CSpreadSheet target(path, SheetOrSeparator, false);
  if (target.GetTotalColumns() != 0) return false;

  std::vector<std::string> values;
  // A header of named columns has no duplicates: the rows copy as they are.
  if (m_pStorage->ColumnsNamedByHeader()) {
    target.BeginTransaction();
    for (int32_t r = 1; r <= m_pSheet->m_nTotalRows; ++r) {
      if (!ReadRow(values, r) || !target.AddRow(values, r, false)) return false;
    }
    return target.Commit();
  }

  // The duplicate reported is the one found last.
  std::string duplicate;
  bool hasDuplicate = false;
  for (std::size_t i = m_pSheet->m_aFieldNames.size(); i-- > 0 && !hasDuplicate;) {
    for (std::size_t j = 0; j < m_pSheet->m_aFieldNames.size(); ++j) {
      if (j != i && m_pSheet->m_aFieldNames[j] == m_pSheet->m_aFieldNames[i]) {
        duplicate = m_pSheet->m_aFieldNames[i];
        hasDuplicate = true;
        break;
      }
    }
  }

  // One commit for the whole copy: all of it or nothing reaches the workbook.
  target.BeginTransaction();
  if (!hasDuplicate) {
    if (!target.AddHeaders(m_pSheet->m_aFieldNames, false)) return false;
    for (int32_t r = 2; r <= m_pSheet->m_nTotalRows; ++r) {
      if (!ReadRow(values, r) || !target.AddRow(values, r, false)) return false;
    }
  } else {
    m_strLastError = Format(kErrDuplicate, duplicate);
    std::vector<std::string> numbers;
    for (int16_t c = 1; c <= m_pSheet->m_nTotalColumns; ++c) numbers.push_back(std::to_string(c));
    if (!target.AddHeaders(numbers, false)) return false;
    for (int32_t r = 1; r <= m_pSheet->m_nTotalRows; ++r) {
      if (!ReadRow(values, r) || !target.AddRow(values, r + 1, false)) return false;
    }
  }
  return target.Commit();
}
