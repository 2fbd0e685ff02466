#pragma once

// Excel 97-2003 workbooks (.xls: BIFF8 records inside an OLE2 compound file),
// read and written by our own code.
//
// Loading keeps the whole file. Saving re-serialises only the worksheets that were
// changed (or added); every other sheet, record and stream is written back as it was
// read, apart from stream positions that have to move (sheet offsets, row indexes)
// and the shared-string table, which only grows, so that untouched sheets' string
// references stay valid.
//
// Texts are UTF-16. Rows and columns are numbered from 0; a worksheet holds at most
// kMaxRows rows and kMaxColumns columns. Every failure throws platform::Error.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Error.h"

namespace xls {

inline constexpr int kMaxRows = 65536;
inline constexpr int kMaxColumns = 256;
inline constexpr std::size_t kMaxSheetNameLength = 31;
inline constexpr std::size_t kMaxCellTextLength = 32767;

enum class CellKind { Empty, Number, Text, Boolean, Error };

// One cell's value. For a formula cell, kind and value are the formula's cached
// result (Empty when the writer stored none) and isFormula is set.
struct CellValue {
  CellKind kind = CellKind::Empty;
  double number = 0;           // Number
  std::u16string text;         // Text
  bool boolean = false;        // Boolean
  std::uint8_t errorCode = 0;  // Error: the file's code (0x07 = #DIV/0!, 0x2A = #N/A, ...)
  bool isFormula = false;
  bool isDate = false;  // Number shown with a date/time format
};

// "#DIV/0!", "#N/A", ... for an error code; "#ERR" for an unknown one.
std::u16string ErrorText(std::uint8_t errorCode);

struct SheetRow;
class Worksheet;

// The cells of one row, as Worksheet::ForEachRow hands them out.
class RowCells {
 public:
  // As Worksheet::Cell and Worksheet::CellText of this row.
  CellValue Cell(int column) const;
  std::u16string CellText(int column) const;

  struct Source;
  RowCells(const Source& source, const SheetRow& row) : m_source(source), m_row(row) {}

 private:
  const Source& m_source;
  const SheetRow& m_row;
};

class Worksheet {
 public:
  ~Worksheet();
  Worksheet(const Worksheet&) = delete;
  Worksheet& operator=(const Worksheet&) = delete;

  const std::u16string& Name() const;

  // Used range: 1 + the last row (column) holding a cell with a value (text,
  // number, boolean, error or formula); 0 for a sheet without one. Blank cells
  // that carry only formatting do not count.
  int RowCount() const;
  int ColumnCount() const;

  CellValue Cell(int row, int column) const;

  // The cell as text: text as stored; numbers in their shortest exact form
  // ("12.5", "3", "1e+20"), dates and times as "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS"
  // or "HH:MM:SS"; booleans "TRUE"/"FALSE"; errors "#N/A" etc.; empty cells "".
  std::u16string CellText(int row, int column) const;

  // The texts of columns 0 .. ColumnCount()-1 of one row.
  std::vector<std::u16string> RowTexts(int row) const;

  // Calls `visit` for every row from firstRow to lastRow, in order, rows
  // without cells included. A sheet whose cells nobody has used yet is read
  // in one pass without building them (when its cells are stored row by
  // row, as every writer stores them).
  void ForEachRow(int firstRow, int lastRow, const std::function<void(int row, const RowCells& cells)>& visit) const;

  // Changes. A cell beyond the limits, or a text longer than kMaxCellTextLength,
  // throws platform::Error and changes nothing. A changed cell keeps its format.
  void SetText(int row, int column, std::u16string_view text);
  void SetNumber(int row, int column, double value);
  void ClearCell(int row, int column);
  // Removes every cell, row format and merged range; the sheet itself, its column
  // widths and its window settings stay.
  void Clear();
  // Writes the texts into row RowCount(), from column 0 on. An empty text is
  // stored as an empty text cell (it counts as used); nothing is written when
  // the row would not fit.
  void AppendRow(const std::vector<std::u16string>& texts);

  bool IsModified() const;

  struct Impl;
  explicit Worksheet(std::unique_ptr<Impl> impl);
  Impl& impl() { return *m_impl; }
  const Impl& impl() const { return *m_impl; }

 private:
  std::unique_ptr<Impl> m_impl;
};

class Workbook {
 public:
  // Reads a whole .xls file. Throws platform::Error for a missing or unreadable file and
  // for anything that is not a BIFF8 workbook in a compound file: "not an OLE2
  // compound file", "Excel 5 workbook not supported", an encrypted workbook, a
  // truncated or damaged file (the message names the place).
  static Workbook Load(const std::string& path);
  static Workbook LoadFromMemory(std::span<const std::uint8_t> bytes);

  // A new workbook without sheets; add at least one sheet before saving.
  static Workbook CreateEmpty();

  Workbook(Workbook&&) noexcept;
  Workbook& operator=(Workbook&&) noexcept;
  ~Workbook();

  // Writes the whole file to exactly this path (created or truncated). Any I/O
  // failure, a full disk included, throws platform::Error; a workbook without any
  // worksheet throws as well.
  void Save(const std::string& path) const;
  std::vector<std::uint8_t> SaveToMemory() const;

  // Worksheets in the workbook's order (chart and macro sheets are kept in the
  // file but not listed).
  std::size_t SheetCount() const;
  std::vector<std::u16string> SheetNames() const;
  Worksheet& Sheet(std::size_t index);
  const Worksheet& Sheet(std::size_t index) const;

  // Sheet names compare case-insensitively, as Excel does (ASCII, Latin-1, Greek,
  // Cyrillic and full-width Latin letters). nullptr when there is no such sheet.
  Worksheet* FindSheet(std::u16string_view name);
  const Worksheet* FindSheet(std::u16string_view name) const;

  // Adds an empty worksheet at the end. The name must be valid (CheckSheetName)
  // and differ from every sheet's name, else platform::Error.
  Worksheet& AddSheet(std::u16string_view name);

  // Throws platform::Error when the name is empty, longer than kMaxSheetNameLength,
  // holds one of : \ / ? * [ ] or a control character, or starts or ends with
  // an apostrophe.
  static void CheckSheetName(std::u16string_view name);

  struct Impl;

 private:
  explicit Workbook(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};

}  // namespace xls
