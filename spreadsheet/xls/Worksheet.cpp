// Worksheet: reading and changing the cells of one sheet, over its model in
// SheetModel.h.
#include <algorithm>
#include <functional>

#include "spreadsheet/xls/AsciiName.h"
#include "spreadsheet/xls/BookState.h"
#include "spreadsheet/xls/SheetModel.h"
#include "spreadsheet/xls/Workbook.h"

namespace xls {

std::u16string ErrorText(std::uint8_t code) {
  switch (code) {
    case 0x00:
      return u"#NULL!";
    case 0x07:
      return u"#DIV/0!";
    case 0x0F:
      return u"#VALUE!";
    case 0x17:
      return u"#REF!";
    case 0x1D:
      return u"#NAME?";
    case 0x24:
      return u"#NUM!";
    case 0x2A:
      return u"#N/A";
    default:
      return u"#ERR";
  }
}

// ---- Worksheet ------------------------------------------------------------

Worksheet::Worksheet(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
Worksheet::~Worksheet() = default;

const std::u16string& Worksheet::Name() const {
  return m_impl->name;
}

int Worksheet::RowCount() const {
  m_impl->ComputeUsed();
  return m_impl->usedRows;
}

int Worksheet::ColumnCount() const {
  m_impl->ComputeUsed();
  return m_impl->usedCols;
}

namespace {
void CheckCell(const Worksheet::Impl& ws, int row, int col) {
  if (row < 0 || row >= kMaxRows || col < 0 || col >= kMaxColumns)
    throw platform::Error("cell at row " + std::to_string(row + 1) + ", column " + std::to_string(col + 1) +
                          " of sheet '" + Ascii(ws.name) + "' is outside the worksheet's 65536 rows x 256 columns");
}
}  // namespace

namespace {

const SheetCell* FindInRow(const SheetRow& row, int col) {
  auto it =
      std::lower_bound(row.cells.begin(), row.cells.end(), col, [](const SheetCell& c, int k) { return c.col < k; });
  return it != row.cells.end() && it->col == col ? &*it : nullptr;
}

CellValue ValueOf(const Worksheet::Impl& src, const SheetCell* c) {
  CellValue v;
  if (!c) return v;
  v.kind = c->kind;
  v.isFormula = c->isFormula;
  switch (c->kind) {
    case CellKind::Number:
      v.number = c->number;
      v.isDate = src.book->XfDateKind(c->xf) != DateKind::None;
      break;
    case CellKind::Text:
      v.text = src.TextOf(*c);
      break;
    case CellKind::Boolean:
      v.boolean = c->boolean;
      break;
    case CellKind::Error:
      v.errorCode = c->error;
      break;
    case CellKind::Empty:
      break;
  }
  return v;
}

std::u16string TextOfCell(const Worksheet::Impl& src, const SheetCell* c) {
  if (!c) return {};
  switch (c->kind) {
    case CellKind::Number: {
      DateKind k = src.book->XfDateKind(c->xf);
      return k == DateKind::None ? NumberText(c->number) : DateText(c->number, src.book->date1904, k);
    }
    case CellKind::Text:
      return src.TextOf(*c);
    case CellKind::Boolean:
      return c->boolean ? u"TRUE" : u"FALSE";
    case CellKind::Error:
      return ErrorText(c->error);
    case CellKind::Empty:
      break;
  }
  return {};
}

}  // namespace

struct RowCells::Source {
  const Worksheet::Impl& impl;
};

CellValue RowCells::Cell(int column) const {
  return ValueOf(m_source.impl, FindInRow(m_row, column));
}
std::u16string RowCells::CellText(int column) const {
  return TextOfCell(m_source.impl, FindInRow(m_row, column));
}

CellValue Worksheet::Cell(int row, int column) const {
  CheckCell(*m_impl, row, column);
  const Impl& src = m_impl->ReaderFor(row);
  return ValueOf(src, src.Find(row, column));
}

std::u16string Worksheet::CellText(int row, int column) const {
  CheckCell(*m_impl, row, column);
  const Impl& src = m_impl->ReaderFor(row);
  return TextOfCell(src, src.Find(row, column));
}

void Worksheet::ForEachRow(int firstRow, int lastRow,
                           const std::function<void(int row, const RowCells& cells)>& visit) const {
  firstRow = std::max(firstRow, 0);
  lastRow = std::min(lastRow, kMaxRows - 1);
  const Impl& self = *m_impl;
  const SheetRow none;
  int next = firstRow;
  // Rows come in order; the ones between get no cells.
  auto emit = [&](const Impl& src, int r, const SheetRow& row) {
    if (r < next || r > lastRow) return;
    const RowCells::Source gap{self};
    for (; next < r; ++next) visit(next, RowCells(gap, none));
    const RowCells::Source from{src};
    visit(r, RowCells(from, row));
    next = r + 1;
  };
  if (self.parsed || !self.cellsInRowOrder) {
    self.EnsureParsed();
    for (auto it = self.rows.lower_bound(firstRow); it != self.rows.end() && it->first <= lastRow; ++it)
      emit(self, it->first, it->second);
  } else {
    // One pass over the records; a row is handed out once a cell of a
    // later row shows it is complete, and then dropped.
    Impl pass;
    pass.book = self.book;
    pass.name = self.name;
    pass.original = self.original;
    pass.beforeCellRow = [&](int row) {
      while (!pass.rows.empty() && pass.rows.begin()->first < row) {
        emit(pass, pass.rows.begin()->first, pass.rows.begin()->second);
        pass.rows.erase(pass.rows.begin());
        pass.lastFoundValid = false;
      }
    };
    pass.ParseCells();
    for (const auto& [r, row] : pass.rows) emit(pass, r, row);
    // Then the rows added below the stored ones.
    for (auto it = self.rows.lower_bound(self.originalRows); it != self.rows.end(); ++it)
      emit(self, it->first, it->second);
  }
  const RowCells::Source gap{self};
  for (; next <= lastRow; ++next) visit(next, RowCells(gap, none));
}

std::vector<std::u16string> Worksheet::RowTexts(int row) const {
  m_impl->EnsureParsed();
  int n = ColumnCount();
  std::vector<std::u16string> out(n);
  if (row < 0 || row >= kMaxRows) CheckCell(*m_impl, row, 0);
  auto found = m_impl->FindRow(row);
  if (found == m_impl->rows.end()) return out;
  for (const SheetCell& c : found->second.cells)
    if (c.col < n) out[c.col] = CellText(row, c.col);
  return out;
}

namespace {
// Prepares the cell at (row, col) to take a new value.
SheetCell& Overwrite(Worksheet::Impl& ws, int row, int col) {
  CheckCell(ws, row, col);
  if (const SheetCell* old = ws.Find(row, col); old && old->isFormula) ws.DetachDependents(*old, row);
  SheetCell& c = ws.Put(row, col);
  c.isFormula = false;
  c.formula = -1;
  c.localText = false;
  ws.Touch(row);
  if (ws.usedRows >= 0) {
    ws.usedRows = std::max(ws.usedRows, row + 1);
    ws.usedCols = std::max(ws.usedCols, col + 1);
  }
  return c;
}
}  // namespace

void Worksheet::SetText(int row, int column, std::u16string_view text) {
  // Rows below the stored ones go in without building the stored cells.
  if (row < m_impl->originalRows) m_impl->EnsureParsed();
  CheckCell(*m_impl, row, column);
  if (text.size() > kMaxCellTextLength)
    throw platform::Error("text of " + std::to_string(text.size()) + " characters for sheet '" + Ascii(m_impl->name) +
                          "': a cell holds at most 32767");
  std::uint32_t index = m_impl->book->Intern(text);
  SheetCell& c = Overwrite(*m_impl, row, column);
  c.kind = CellKind::Text;
  c.text = index;
}

void Worksheet::SetNumber(int row, int column, double value) {
  if (row < m_impl->originalRows) m_impl->EnsureParsed();
  SheetCell& c = Overwrite(*m_impl, row, column);
  c.kind = CellKind::Number;
  c.number = value;
}

void Worksheet::ClearCell(int row, int column) {
  m_impl->EnsureParsed();
  CheckCell(*m_impl, row, column);
  const SheetCell* old = m_impl->Find(row, column);
  if (!old) return;
  if (old->isFormula) m_impl->DetachDependents(*old, row);
  m_impl->Erase(row, column);
  m_impl->Touch(row);
  m_impl->usedRows = m_impl->usedCols = -1;
}

void Worksheet::Clear() {
  m_impl->EnsureParsed();
  m_impl->rows.clear();
  m_impl->lastFoundValid = false;
  m_impl->formulas.clear();
  m_impl->localStrings.clear();
  m_impl->cleared = true;
  m_impl->modified = true;
  m_impl->usedRows = m_impl->usedCols = 0;
}

void Worksheet::AppendRow(const std::vector<std::u16string>& texts) {
  int row = RowCount();
  if (row >= kMaxRows)
    throw platform::Error("sheet '" + Ascii(m_impl->name) + "' is full: a worksheet holds at most 65536 rows");
  if (texts.size() > static_cast<std::size_t>(kMaxColumns))
    throw platform::Error("a row of " + std::to_string(texts.size()) +
                          " values does not fit: a worksheet holds at most 256 columns");
  for (const auto& t : texts)
    if (t.size() > kMaxCellTextLength)
      throw platform::Error("text of " + std::to_string(t.size()) + " characters for sheet '" + Ascii(m_impl->name) +
                            "': a cell holds at most 32767");
  for (std::size_t i = 0; i < texts.size(); ++i) SetText(row, static_cast<int>(i), texts[i]);
}

bool Worksheet::IsModified() const {
  return m_impl->modified;
}

}  // namespace xls
