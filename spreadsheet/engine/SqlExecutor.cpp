#include "spreadsheet/engine/SqlExecutor.h"

#include "platform/TextCodec.h"
#include "spreadsheet/engine/FieldText.h"
#include "platform/Error.h"
#include "spreadsheet/xls/Workbook.h"

#include <algorithm>
#include <optional>
#include <set>

namespace sqlengine {
namespace {

std::string Gbk(const std::u16string& text) {
  return platform::Utf16ToGbk(text);
}

std::u16string FoldAscii(std::u16string text) {
  for (auto& c : text)
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
  return text;
}

std::u16string AliasOf(int positionInTable) {
  std::string alias = "F" + std::to_string(positionInTable + 1);
  return std::u16string(alias.begin(), alias.end());
}

void CheckLength(const std::u16string& value) {
  if (value.size() > xls::kMaxCellTextLength)
    throw platform::Error("Value of " + std::to_string(value.size()) + " characters is too long for a cell (at most " +
                          std::to_string(xls::kMaxCellTextLength) + ")");
}

// The cells of one worksheet that a table name covers.
class TableView {
 public:
  TableView(const xls::Worksheet& sheet, const CellRange& range) : m_sheet(sheet), m_range(range) {}

  int FirstColumn() const { return m_range.firstColumn; }
  int HeaderRow() const { return m_range.firstRow; }

  // Last column of the range holding any cell (-1 when none).
  int LastColumn() const { return std::min(m_range.lastColumn, m_sheet.ColumnCount() - 1); }

  bool RowUsed(int row) const {
    for (int c = m_range.firstColumn; c <= LastColumn(); ++c) {
      xls::CellValue cell = m_sheet.Cell(row, c);
      if (cell.kind != xls::CellKind::Empty || cell.isFormula) return true;
    }
    return false;
  }

  // Last row at or below the header, up to `limit`, with a cell in the
  // range's columns; HeaderRow() - 1 when there is none.
  int LastUsedRow(int limit) const {
    int row = std::min(limit, m_sheet.RowCount() - 1);
    bool fullWidth = m_range.firstColumn == 0 && LastColumn() == m_sheet.ColumnCount() - 1;
    if (fullWidth || row < m_range.firstRow) return std::max(row, m_range.firstRow - 1);
    for (; row >= m_range.firstRow; --row)
      if (RowUsed(row)) return row;
    return m_range.firstRow - 1;
  }

  bool Empty() const { return LastColumn() < m_range.firstColumn || LastUsedRow(m_range.lastRow) < m_range.firstRow; }

  // The header row's names; an empty cell gets its positional alias.
  std::vector<std::u16string> Names() const {
    const auto& header = Header();
    std::vector<std::u16string> names;
    for (std::size_t i = 0; i < header.size(); ++i) names.push_back(header[i].empty() ? AliasOf(int(i)) : header[i]);
    return names;
  }

  // Sheet column of a column name: the exact text first, then the alias of an
  // empty name cell, then a unique match ignoring ASCII case.
  std::optional<int> FindColumn(const std::u16string& name) const {
    const auto& header = Header();
    for (std::size_t i = 0; i < header.size(); ++i)
      if (header[i] == name || (header[i].empty() && AliasOf(int(i)) == name)) return m_range.firstColumn + int(i);
    std::optional<int> folded;
    std::u16string key = FoldAscii(name);
    for (std::size_t i = 0; i < header.size(); ++i) {
      if (FoldAscii(header[i]) == key) {
        if (folded) return std::nullopt;  // ambiguous
        folded = m_range.firstColumn + int(i);
      }
    }
    return folded;
  }

 private:
  // Read when first needed: whether a sheet is empty needs no cell of it.
  const std::vector<std::u16string>& Header() const {
    if (!m_header) {
      m_header.emplace();
      for (int c = m_range.firstColumn; c <= LastColumn(); ++c) m_header->push_back(FieldText(m_sheet, HeaderRow(), c));
    }
    return *m_header;
  }

  const xls::Worksheet& m_sheet;
  CellRange m_range;
  mutable std::optional<std::vector<std::u16string>> m_header;  // texts of the first row's cells
};

[[noreturn]] void NoSuchTable(const TableRef& table) {
  throw platform::Error("Table " + Describe(table) + " does not exist: the workbook has no worksheet of that name");
}

// The worksheet a statement names; a missing one is the statement's error.
template <class Book>
auto& SheetOf(Book& book, const TableRef& table) {
  auto* sheet = book.FindSheet(table.sheet);
  if (sheet == nullptr) NoSuchTable(table);
  return *sheet;
}

int ColumnOf(const TableView& view, const TableRef& table, const std::u16string& name) {
  auto column = view.FindColumn(name);
  if (!column)
    throw platform::Error("Unknown column [" + Gbk(name) + "] in table " + Describe(table) +
                          ": its first row holds no such name");
  return *column;
}

void RequireHeader(const TableView& view, const TableRef& table) {
  if (view.LastColumn() < view.FirstColumn() || !view.RowUsed(view.HeaderRow()))
    throw platform::Error("Table " + Describe(table) + " has no column names: its first row is empty");
}

xls::Worksheet& AddSheet(xls::Workbook& book, const TableRef& table, bool& changing) {
  try {
    xls::Workbook::CheckSheetName(table.sheet);
  } catch (const platform::Error& e) {
    throw platform::Error("Invalid sheet name " + Describe(table) +
                          ": a sheet name has 1 to 31 characters and none of : \\ / ? * [ ] (" + e.what() + ")");
  }
  changing = true;
  return book.AddSheet(table.sheet);
}

int Create(xls::Workbook& book, const CreateTable& create, bool& changing) {
  const TableRef& table = create.table;
  int width = table.range.lastColumn - table.range.firstColumn + 1;
  if (int(create.columns.size()) > width)
    throw platform::Error("CREATE TABLE " + Describe(table) + " gives " + std::to_string(create.columns.size()) +
                          " columns, but " +
                          (table.wholeSheet ? std::string("a worksheet holds at most 256")
                                            : "the range holds only " + std::to_string(width)));
  std::set<std::u16string> seen;
  for (const auto& name : create.columns) {
    if (!seen.insert(name).second)
      throw platform::Error("Column [" + Gbk(name) + "] is defined twice in CREATE TABLE " + Describe(table));
    CheckLength(name);
  }
  xls::Worksheet* sheet = book.FindSheet(table.sheet);
  if (sheet != nullptr) {
    if (!TableView(*sheet, table.range).Empty()) throw platform::Error("Table " + Describe(table) + " already exists");
  } else {
    sheet = &AddSheet(book, table, changing);
  }
  changing = true;
  for (std::size_t i = 0; i < create.columns.size(); ++i)
    if (!create.columns[i].empty())
      sheet->SetText(table.range.firstRow, table.range.firstColumn + int(i), create.columns[i]);
  return 0;
}

int Drop(xls::Workbook& book, const DropTable& drop, bool& changing) {
  xls::Worksheet* sheet = &SheetOf(book, drop.table);
  changing = true;
  if (drop.table.wholeSheet) {
    sheet->Clear();
    return 0;
  }
  const CellRange& r = drop.table.range;
  int lastRow = std::min(r.lastRow, sheet->RowCount() - 1);
  int lastColumn = std::min(r.lastColumn, sheet->ColumnCount() - 1);
  for (int row = r.firstRow; row <= lastRow; ++row)
    for (int column = r.firstColumn; column <= lastColumn; ++column) sheet->ClearCell(row, column);
  return 0;
}

int DoInsert(xls::Workbook& book, const Insert& insert, bool& changing) {
  const TableRef& table = insert.table;
  xls::Worksheet* sheet = &SheetOf(book, table);
  TableView view(*sheet, table.range);
  RequireHeader(view, table);

  std::vector<int> columns;
  if (insert.hasColumnList) {
    std::set<int> seen;
    for (const auto& name : insert.columns) {
      int column = ColumnOf(view, table, name);
      if (!seen.insert(column).second)
        throw platform::Error("Column [" + Gbk(name) + "] is named twice in INSERT INTO " + Describe(table));
      columns.push_back(column);
    }
  } else {
    int width = view.LastColumn() - view.FirstColumn() + 1;
    if (int(insert.values.size()) > width)
      throw platform::Error("INSERT INTO " + Describe(table) + " gives " + std::to_string(insert.values.size()) +
                            " values, but the table has " + std::to_string(width) + " columns");
    for (std::size_t i = 0; i < insert.values.size(); ++i) columns.push_back(view.FirstColumn() + int(i));
  }
  for (const auto& value : insert.values) CheckLength(value);

  // New rows go below every used row, whatever the range's last row says.
  int row = view.LastUsedRow(xls::kMaxRows - 1) + 1;
  row = std::max(row, view.HeaderRow() + 1);
  if (row >= xls::kMaxRows)
    throw platform::Error("Table " + Describe(table) + " is full: a worksheet holds at most 65,536 rows");
  changing = true;
  for (std::size_t i = 0; i < columns.size(); ++i) sheet->SetText(row, columns[i], insert.values[i]);
  return 1;
}

int DoUpdate(xls::Workbook& book, const Update& update, bool& changing) {
  const TableRef& table = update.table;
  xls::Worksheet* sheet = &SheetOf(book, table);
  TableView view(*sheet, table.range);
  RequireHeader(view, table);

  std::vector<std::pair<int, const std::u16string*>> sets;
  std::set<int> seen;
  for (const auto& assignment : update.assignments) {
    int column = ColumnOf(view, table, assignment.column);
    if (!seen.insert(column).second)
      throw platform::Error("Column [" + Gbk(assignment.column) + "] is set twice in UPDATE " + Describe(table));
    CheckLength(assignment.value);
    sets.emplace_back(column, &assignment.value);
  }
  std::vector<std::pair<int, const std::u16string*>> conditions;
  for (const auto& condition : update.conditions)
    conditions.emplace_back(ColumnOf(view, table, condition.column), &condition.value);

  // An empty cell compares equal to '' (it reads as empty text).
  std::vector<int> matching;
  int lastRow = view.LastUsedRow(table.range.lastRow);
  for (int row = view.HeaderRow() + 1; row <= lastRow; ++row) {
    bool all = std::all_of(conditions.begin(), conditions.end(),
                           [&](const auto& c) { return FieldText(*sheet, row, c.first) == *c.second; });
    if (all) matching.push_back(row);
  }
  changing = true;
  for (int row : matching)
    for (const auto& [column, value] : sets) sheet->SetText(row, column, *value);
  return int(matching.size());
}

}  // namespace

int ExecuteChange(xls::Workbook& book, const Statement& statement, bool* pChanging) {
  bool unwatched = false;
  bool& changing = pChanging != nullptr ? *pChanging : unwatched;
  if (auto* s = std::get_if<CreateTable>(&statement)) return Create(book, *s, changing);
  if (auto* s = std::get_if<DropTable>(&statement)) return Drop(book, *s, changing);
  if (auto* s = std::get_if<Insert>(&statement)) return DoInsert(book, *s, changing);
  if (auto* s = std::get_if<Update>(&statement)) return DoUpdate(book, *s, changing);
  throw platform::Error("A SELECT statement returns rows: open it as a result set");
}

std::vector<std::u16string> ExecuteSelect(const xls::Workbook& book, const Select& select, const RowSink& sink) {
  const TableRef& table = select.table;
  const xls::Worksheet* sheet = &SheetOf(book, table);
  TableView view(*sheet, table.range);
  if (view.Empty()) return {};
  std::vector<std::u16string> columns = view.Names();
  int lastRow = view.LastUsedRow(table.range.lastRow);
  std::vector<std::u16string> values(columns.size());
  // Row by row in one pass: a sheet read whole need not be built first.
  sheet->ForEachRow(view.HeaderRow() + 1, lastRow, [&](int, const xls::RowCells& cells) {
    for (int c = view.FirstColumn(); c <= view.LastColumn(); ++c)
      values[std::size_t(c - view.FirstColumn())] = FieldText(cells, c);
    sink(values);
  });
  return columns;
}

ResultShape ExecuteSelectShape(const xls::Workbook& book, const Select& select) {
  const TableRef& table = select.table;
  const xls::Worksheet* sheet = &SheetOf(book, table);
  TableView view(*sheet, table.range);
  ResultShape shape;
  if (view.Empty()) return shape;
  shape.columns = view.Names();
  // As many rows as ExecuteSelect visits: every one below the header down
  // to the last used one.
  int lastRow = view.LastUsedRow(table.range.lastRow);
  if (lastRow > view.HeaderRow()) shape.rows = static_cast<std::size_t>(lastRow - view.HeaderRow());
  return shape;
}

ResultTable ExecuteSelect(const xls::Workbook& book, const Select& select) {
  ResultTable result;
  result.columns =
      ExecuteSelect(book, select, [&](const std::vector<std::u16string>& values) { result.rows.push_back(values); });
  return result;
}

}  // namespace sqlengine
