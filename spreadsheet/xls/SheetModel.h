#pragma once

// The inside of a Worksheet: its cells, read from and written to a BIFF8 worksheet
// substream, and the substream's other records, kept as read.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "spreadsheet/xls/BookState.h"
#include "spreadsheet/xls/StreamPieces.h"
#include "spreadsheet/xls/Workbook.h"

namespace xls {

// A substream as it lies in a workbook stream (the one read, or the one last
// written), held by reference: the stream stays alive as long as a substream
// points into it.
struct Substream {
  std::shared_ptr<const std::vector<std::uint8_t>> stream;
  std::size_t offset = 0;  // where it starts in `stream`
  std::size_t size = 0;
  std::vector<std::size_t> indexRecords;  // positions of INDEX records, from the substream's start

  std::span<const std::uint8_t> Bytes() const {
    return stream ? std::span<const std::uint8_t>(*stream).subspan(offset, size) : std::span<const std::uint8_t>();
  }
  // Reads the substream starting with a BOF at `pos`, up to its matching EOF.
  // Returns its first record's BOF sheet type.
  std::uint16_t Read(const std::shared_ptr<const std::vector<std::uint8_t>>& in, std::size_t pos,
                     const std::string& sheetName);
  // Adds the bytes to out (which now ends where the substream starts),
  // fixing the INDEX positions for the new place.
  void WriteMoved(StreamPieces& out) const;
  // The bytes now lie at `at` of `written` (a save wrote them there).
  void MovedTo(const std::shared_ptr<const std::vector<std::uint8_t>>& written, std::size_t at, std::size_t bytes);
};

// Where a worksheet substream's cell table ends and its DIMENSIONS record
// lies, for appending rows without rewriting the rest.
struct SheetLayout {
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t cellTableEnd = kNone;  // from the substream's start: where new rows go
  std::size_t dimensions = kNone;    // the DIMENSIONS record, from the substream's start
  std::vector<std::size_t> index;    // INDEX records of the sheet itself, from the substream's start

  static SheetLayout Scan(std::span<const std::uint8_t> substream);
  // Sets cellTableEnd from what a walk over the records found.
  void Place(std::span<const std::uint8_t> substream, std::size_t lastCellEnd, std::size_t window2, std::size_t eof);
};

struct SheetCell {
  std::uint16_t col = 0;
  std::uint16_t xf = 0;
  CellKind kind = CellKind::Empty;
  bool isFormula = false;
  bool localText = false;  // text held by the sheet (LABEL or formula result), not the SST
  bool boolean = false;
  std::uint8_t error = 0;
  std::uint32_t text = 0;     // SST index, or index into localStrings
  std::int32_t formula = -1;  // index into formulas
  double number = 0;
};

struct SheetRow {
  std::array<std::uint8_t, 16> rowRecord{};  // ROW record data, when the file had one
  bool hasRowRecord = false;
  std::vector<SheetCell> cells;  // sorted by column
};

struct Worksheet::Impl {
  Impl() = default;
  Impl(const Impl&) = delete;  // lastFound points into this object's rows
  Impl& operator=(const Impl&) = delete;

  BookState* book = nullptr;
  std::u16string name;
  bool modified = false;
  bool cleared = false;
  Substream original;                           // empty for a sheet added in memory
  SheetLayout layout;                           // of `original`
  mutable std::optional<SheetLayout> appended;  // of the bytes the last append wrote
  // Rows below originalRows were in `original`; while none of them changed,
  // a save appends the new rows to the original bytes instead of rebuilding.
  int originalRows = 0;
  bool originalRowsChanged = false;

  // Every record group of the substream that is not part of the cell table,
  // in order; the cell table goes before records[cellTablePos].
  std::vector<std::vector<std::uint8_t>> records;
  std::vector<std::uint16_t> recordTypes;
  std::size_t cellTablePos = 0;

  std::map<int, SheetRow> rows;                     // only rows that hold cells or a ROW record
  std::vector<std::vector<std::uint8_t>> formulas;  // FORMULA record with its STRING/SHRFMLA/ARRAY/TABLE
  std::vector<std::u16string> localStrings;

  mutable int usedRows = -1, usedCols = -1;  // cache; -1 = to be computed
  // The row the last lookup found, since reads mostly go row by row; reset
  // whenever rows are removed.
  mutable std::map<int, SheetRow>::const_iterator lastFound;
  mutable bool lastFoundValid = false;

  // A sheet read from a file builds its cells on first use: a save copies
  // the sheets nobody looked at as they are. Until then, ScanCells has
  // checked the cell records and counted what RowCount, ColumnCount and
  // SstReferences need.
  //
  // An unparsed sheet still takes new rows below its old ones (held in
  // `rows`, which then holds only those) and answers reads of its first
  // rows (a table's header) from `head`, the first kHeadRows rows built
  // alone; ForEachRow reads all rows in one pass without keeping them when
  // the cells are stored in row order, as every writer stores them.
  bool parsed = true;
  std::uint32_t scannedSstReferences = 0;
  bool cellsInRowOrder = true;
  bool scannedFormulas = false;
  bool scannedUncalced = false;
  static constexpr int kHeadRows = 32;
  mutable std::unique_ptr<Impl> head;
  void ScanCells();
  void EnsureParsed() const {
    if (!parsed) const_cast<Impl*>(this)->Parse();
  }
  // The cells to read `row` from: this sheet's, or its head's.
  const Impl& ReaderFor(int row) const;
  // Called by ParseCells before each cell record with the record's row; may
  // take finished rows out of `rows`, or throw to stop the parse.
  std::function<void(int row)> beforeCellRow;

  // Parses the cells of the worksheet substream in `original`.
  void ParseCells();
  // A new empty worksheet's records.
  void InitNew(bool selected);
  // Moves LABEL texts into the shared-string table; runs before the table is written.
  void InternTexts();
  std::uint32_t SstReferences() const;
  // Whether a save may append the new rows to the original bytes.
  bool Appendable() const;
  // Writes the sheet: unchanged substream when untouched, the original with
  // the new rows added when Appendable(), else rebuilt.
  void Write(StreamPieces& out) const;
  // The bytes a save wrote for the sheet at `at` of `written` now stand for it.
  void Written(const std::shared_ptr<const std::vector<std::uint8_t>>& written, std::size_t at, std::size_t bytes);
  // The unchanged bytes now lie at `at` of `written`.
  void Moved(const std::shared_ptr<const std::vector<std::uint8_t>>& written, std::size_t at, std::size_t bytes) {
    original.MovedTo(written, at, bytes);
    head.reset();  // it may have read from the old place
  }
  // A change to a cell of `row`.
  void Touch(int row) {
    modified = true;
    if (row < originalRows) originalRowsChanged = true;
  }

  std::map<int, SheetRow>::const_iterator FindRow(int row) const;
  const SheetCell* Find(int row, int col) const;
  SheetCell& Put(int row, int col);  // finds or inserts (Empty, default format)
  void Erase(int row, int col);
  void DetachDependents(const SheetCell& anchor, int row);
  void ComputeUsed() const;
  std::u16string TextOf(const SheetCell& c) const;

 private:
  void Parse();
  void WriteRebuilt(std::vector<std::uint8_t>& out) const;
  void WriteAppended(StreamPieces& out) const;
  void AppendRowBlock(std::vector<std::uint8_t>& out, std::map<int, SheetRow>::const_iterator begin,
                      std::map<int, SheetRow>::const_iterator end, bool dbCell,
                      std::vector<std::size_t>* dbCellPositions) const;
};

}  // namespace xls
