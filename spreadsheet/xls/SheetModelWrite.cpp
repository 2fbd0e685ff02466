// Writing a worksheet substream: moved as it is, rebuilt, or with new rows
// appended to its original bytes.
#include "spreadsheet/xls/SheetModel.h"

#include <algorithm>

#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/BiffRecord.h"

namespace xls {

namespace {
// Moves the absolute stream positions inside the INDEX record whose data
// starts at `d`: the DEFCOLWIDTH position, then the DBCELL positions.
template <typename Move>
void MoveIndexPositions(std::uint8_t* d, std::size_t len, Move move) {
  if (len >= 16 && GetU32(d + 12) != 0) PutU32(d + 12, move(GetU32(d + 12)));
  for (std::size_t k = 16; k + 4 <= len; k += 4) PutU32(d + k, move(GetU32(d + k)));
}
}  // namespace

void Substream::WriteMoved(StreamPieces& out) const {
  const std::size_t start = out.size();
  const auto bytes = Bytes();
  const std::int64_t delta = static_cast<std::int64_t>(start) - static_cast<std::int64_t>(offset);
  std::size_t kept = 0;
  if (delta != 0) {
    // Only the INDEX records change: the runs between them stay as they are.
    for (std::size_t at : indexRecords) {
      const std::size_t length = 4 + GetU16(&bytes[at + 2]);
      out.Keep(bytes.subspan(kept, at - kept));
      std::vector<std::uint8_t> index(bytes.begin() + at, bytes.begin() + at + length);
      MoveIndexPositions(&index[4], length - 4, [&](std::uint32_t p) { return static_cast<std::uint32_t>(p + delta); });
      out.Add(std::move(index));
      kept = at + length;
    }
  }
  out.Keep(bytes.subspan(kept));
}

void Substream::MovedTo(const std::shared_ptr<const std::vector<std::uint8_t>>& written, std::size_t at,
                        std::size_t bytes) {
  stream = written;
  offset = at;
  size = bytes;
}

void Worksheet::Impl::Write(StreamPieces& out) const {
  appended.reset();  // set again by an append; a save that failed part-way leaves none behind
  if (!modified)
    original.WriteMoved(out);
  else if (Appendable())
    WriteAppended(out);
  else {
    EnsureParsed();
    std::vector<std::uint8_t> rebuilt;
    WriteRebuilt(rebuilt);
    out.Add(std::move(rebuilt));
  }
}

void Worksheet::Impl::WriteRebuilt(std::vector<std::uint8_t>& out) const {
  // Extent of every cell record, blanks included.
  std::uint32_t rowFirst = 0, rowLast = 0;
  std::uint16_t colFirst = 0xFFFF, colLast = 0;
  bool any = false;
  for (const auto& [r, row] : rows) {
    if (row.cells.empty()) continue;
    if (!any) rowFirst = static_cast<std::uint32_t>(r);
    any = true;
    rowLast = static_cast<std::uint32_t>(r) + 1;
    colFirst = std::min(colFirst, row.cells.front().col);
    colLast = std::max<std::uint16_t>(colLast, row.cells.back().col + 1);
  }
  std::vector<std::uint8_t> dims;
  AppendU32(dims, any ? rowFirst : 0);
  AppendU32(dims, any ? rowLast : 0);
  AppendU16(dims, any ? colFirst : 0);
  AppendU16(dims, any ? colLast : 0);
  AppendU16(dims, 0);

  bool haveDims = std::find(recordTypes.begin(), recordTypes.end(), rec::kDimensions) != recordTypes.end();
  auto emitCells = [&] {
    if (!haveDims) AppendRecord(out, rec::kDimensions, dims);
    AppendRowBlock(out, rows.begin(), rows.end(), false, nullptr);
  };
  // Formula results may now be stale: ask applications to recalculate on open.
  bool anyFormula = false;
  for (const auto& [r, row] : rows)
    for (const auto& c : row.cells) anyFormula = anyFormula || (c.isFormula && c.formula >= 0);
  anyFormula = anyFormula && std::find(recordTypes.begin(), recordTypes.end(), rec::kUncalced) == recordTypes.end();
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (i == 1 && anyFormula) AppendRecord(out, rec::kUncalced, std::vector<std::uint8_t>{0, 0});
    if (i == cellTablePos) emitCells();
    std::uint16_t t = recordTypes[i];
    if (t == rec::kIndex) continue;  // positions of the old cell table
    if (t == rec::kMergeCells && cleared) continue;
    if (t == rec::kDimensions) {
      AppendRecord(out, rec::kDimensions, dims);
      continue;
    }
    out.insert(out.end(), records[i].begin(), records[i].end());
  }
  if (cellTablePos >= records.size()) emitCells();
}

namespace {

bool RowWritten(const SheetRow& row, bool cleared) {
  return !row.cells.empty() || (row.hasRowRecord && !cleared);
}

void AppendCellRecord(std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& data, int r, const SheetCell& c) {
  data.clear();
  AppendU16(data, static_cast<std::uint16_t>(r));
  AppendU16(data, c.col);
  AppendU16(data, c.xf);
  switch (c.kind) {
    case CellKind::Empty:
      AppendRecord(out, rec::kBlank, data);
      break;
    case CellKind::Number:
      AppendF64(data, c.number);
      AppendRecord(out, rec::kNumber, data);
      break;
    case CellKind::Text:
      AppendU32(data, c.text);  // an SST index by now
      AppendRecord(out, rec::kLabelSst, data);
      break;
    case CellKind::Boolean:
    case CellKind::Error:
      AppendU8(data, c.kind == CellKind::Error ? c.error : (c.boolean ? 1 : 0));
      AppendU8(data, c.kind == CellKind::Error ? 1 : 0);
      AppendRecord(out, rec::kBoolErr, data);
      break;
  }
}

}  // namespace

// Blocks of up to 32 rows: their ROW records, then their cells, then (when
// the sheet keeps a row index) a DBCELL pointing back at them.
void Worksheet::Impl::AppendRowBlock(std::vector<std::uint8_t>& out, std::map<int, SheetRow>::const_iterator begin,
                                     std::map<int, SheetRow>::const_iterator end, bool dbCell,
                                     std::vector<std::size_t>* dbCellPositions) const {
  std::vector<std::uint8_t> data;
  std::vector<std::size_t> firstCells;
  for (auto blockBegin = begin; blockBegin != end;) {
    int blockNumber = blockBegin->first / 32;
    auto blockEnd = blockBegin;
    while (blockEnd != end && blockEnd->first / 32 == blockNumber) ++blockEnd;
    const std::size_t firstRowAt = out.size();
    for (auto it = blockBegin; it != blockEnd; ++it) {
      const SheetRow& row = it->second;
      if (!RowWritten(row, cleared)) continue;
      data.clear();
      if (row.hasRowRecord) {
        data.assign(row.rowRecord.begin(), row.rowRecord.end());
      } else {
        data.assign(16, 0);
        PutU16(&data[6], 0x00FF);
        PutU32(&data[12], 0x00000100);
      }
      PutU16(&data[0], static_cast<std::uint16_t>(it->first));
      PutU16(&data[2], row.cells.empty() ? 0 : row.cells.front().col);
      PutU16(&data[4], row.cells.empty() ? 0 : static_cast<std::uint16_t>(row.cells.back().col + 1));
      AppendRecord(out, rec::kRow, data);
    }
    const bool anyRow = out.size() > firstRowAt;
    firstCells.clear();
    for (auto it = blockBegin; it != blockEnd; ++it) {
      if (RowWritten(it->second, cleared)) firstCells.push_back(it->second.cells.empty() ? 0 : out.size());
      for (const SheetCell& c : it->second.cells) {
        if (c.isFormula && c.formula >= 0)
          out.insert(out.end(), formulas[c.formula].begin(), formulas[c.formula].end());
        else
          AppendCellRecord(out, data, it->first, c);
      }
    }
    if (dbCell && anyRow) {
      // Back to the first ROW record; then each row's first cell, the
      // first counted from where a second ROW record would start, the
      // others from the previous row's first cell.
      const std::size_t at = out.size();
      data.clear();
      AppendU32(data, static_cast<std::uint32_t>(at - firstRowAt));
      std::size_t previous = firstRowAt + 20;
      for (std::size_t cell : firstCells) {
        AppendU16(data, static_cast<std::uint16_t>(cell ? cell - previous : 0));
        if (cell) previous = cell;
      }
      AppendRecord(out, rec::kDbCell, data);
      if (dbCellPositions) dbCellPositions->push_back(at);
    }
    blockBegin = blockEnd;
  }
}

bool Worksheet::Impl::Appendable() const {
  if (!modified || cleared || originalRowsChanged || !original.stream) return false;
  // New rows may change formula results: such a sheet is rebuilt, and asks
  // for recalculation, unless it already does.
  const bool hasFormulas = parsed ? !formulas.empty() : scannedFormulas;
  const bool asksRecalculation =
      parsed ? std::find(recordTypes.begin(), recordTypes.end(), rec::kUncalced) != recordTypes.end() : scannedUncalced;
  if (hasFormulas && !asksRecalculation) return false;
  const SheetLayout& l = layout;
  if (l.cellTableEnd == SheetLayout::kNone || l.dimensions == SheetLayout::kNone || l.dimensions >= l.cellTableEnd)
    return false;
  auto bytes = original.Bytes();
  if (GetU16(&bytes[l.dimensions + 2]) < 14 || l.index.size() > 1) return false;
  return l.index.empty() || l.index[0] < l.cellTableEnd;
}

// The original bytes with the new rows (all below the original ones) added
// at the end of the cell table; DIMENSIONS grows to take them in, and a row
// index (INDEX with its DBCELLs) gets the new blocks too.
void Worksheet::Impl::WriteAppended(StreamPieces& out) const {
  const auto bytes = original.Bytes();
  const std::size_t start = out.size();
  const auto firstNew = rows.lower_bound(originalRows);

  std::uint32_t rowFirst = 0xFFFFFFFF, rowEnd = 0;
  std::uint16_t colFirst = 0xFFFF, colEnd = 0;
  std::size_t blocks = 0;
  int lastBlock = -1;
  for (auto it = firstNew; it != rows.end(); ++it) {
    if (!RowWritten(it->second, cleared)) continue;
    if (it->first / 32 != lastBlock) ++blocks;
    lastBlock = it->first / 32;
    if (it->second.cells.empty()) continue;
    rowFirst = std::min<std::uint32_t>(rowFirst, it->first);
    rowEnd = static_cast<std::uint32_t>(it->first) + 1;
    colFirst = std::min(colFirst, it->second.cells.front().col);
    colEnd = std::max<std::uint16_t>(colEnd, it->second.cells.back().col + 1);
  }

  const bool indexed = !layout.index.empty();
  const std::size_t indexAt = indexed ? layout.index[0] : 0;
  const std::size_t indexLen = indexed ? GetU16(&bytes[indexAt + 2]) : 0;
  const std::size_t indexEnd = indexAt + 4 + indexLen;
  const std::size_t grow = indexed ? 4 * blocks : 0;
  // A position inside the substream after the INDEX record moves by the
  // room its new DBCELL positions take.
  auto moved = [&](std::size_t relative) { return relative + (indexed && relative > indexAt ? grow : 0); };

  // The records that change (INDEX, DIMENSIONS) lie in the first bytes of
  // the substream: those are copied and changed, the rest of the cell table
  // is taken as it is.
  const std::size_t dimensionsEnd = layout.dimensions + 4 + GetU16(&bytes[layout.dimensions + 2]);
  const std::size_t headEnd = std::max(indexed ? indexEnd : 0, dimensionsEnd);
  std::vector<std::uint8_t> head;
  head.reserve(headEnd + grow);
  if (indexed) {
    head.insert(head.end(), bytes.begin(), bytes.begin() + indexEnd);
    head.resize(head.size() + grow, 0);  // the new DBCELL positions, filled in below
    head.insert(head.end(), bytes.begin() + indexEnd, bytes.begin() + headEnd);
    std::uint8_t* d = &head[indexAt + 4];
    MoveIndexPositions(d, indexLen,
                       [&](std::uint32_t p) { return static_cast<std::uint32_t>(start + moved(p - original.offset)); });
    PutU16(&head[indexAt + 2], static_cast<std::uint16_t>(indexLen + grow));
    if (rowEnd > 0) {
      if (GetU32(d + 8) <= GetU32(d + 4)) PutU32(d + 4, rowFirst);
      PutU32(d + 8, std::max(GetU32(d + 8), rowEnd));
    }
  } else {
    head.insert(head.end(), bytes.begin(), bytes.begin() + headEnd);
  }

  if (rowEnd > 0) {
    std::uint8_t* d = &head[moved(layout.dimensions) + 4];
    bool empty = GetU32(d + 4) <= GetU32(d) || GetU16(d + 10) <= GetU16(d + 8);
    PutU32(d, empty ? rowFirst : std::min(GetU32(d), rowFirst));
    PutU32(d + 4, empty ? rowEnd : std::max(GetU32(d + 4), rowEnd));
    PutU16(d + 8, empty ? colFirst : std::min(GetU16(d + 8), colFirst));
    PutU16(d + 10, empty ? colEnd : std::max(GetU16(d + 10), colEnd));
  }

  // The new rows go after the old cell table.
  const std::size_t addedAt = head.size() + (layout.cellTableEnd - headEnd);
  std::vector<std::uint8_t> added;
  added.reserve(64 * static_cast<std::size_t>(std::distance(firstNew, rows.end())) + 256);
  std::vector<std::size_t> dbCells;
  AppendRowBlock(added, firstNew, rows.end(), indexed, &dbCells);
  for (std::size_t k = 0; k < dbCells.size(); ++k)
    PutU32(&head[indexEnd + 4 * k], static_cast<std::uint32_t>(start + addedAt + dbCells[k]));
  appended.emplace(layout);
  appended->cellTableEnd = addedAt + added.size();
  if (layout.dimensions != SheetLayout::kNone) appended->dimensions = moved(layout.dimensions);

  out.Add(std::move(head));
  out.Keep(bytes.subspan(headEnd, layout.cellTableEnd - headEnd));
  out.Add(std::move(added));
  out.Keep(bytes.subspan(layout.cellTableEnd));
}

void Worksheet::Impl::Written(const std::shared_ptr<const std::vector<std::uint8_t>>& written, std::size_t at,
                              std::size_t bytes) {
  original.MovedTo(written, at, bytes);
  originalRowsChanged = false;
  modified = false;
  head.reset();
  // An append knows where things went; a rebuilt sheet is looked at again.
  layout = appended ? std::move(*appended) : SheetLayout::Scan(original.Bytes());
  appended.reset();
  original.indexRecords = layout.index;
  const int end = rows.empty() ? 0 : rows.rbegin()->first + 1;
  if (!parsed) {
    // The new rows are in the bytes now; the sheet stays unbuilt, and
    // what a scan would count follows from what was added.
    scannedSstReferences = SstReferences();
    originalRows = std::max(originalRows, end);
    rows.clear();
    lastFoundValid = false;
    return;
  }
  originalRows = end;
}

}  // namespace xls
