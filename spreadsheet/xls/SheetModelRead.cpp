// Reading a worksheet substream: locating it, scanning its cell records and
// building its cells.
#include "spreadsheet/xls/SheetModel.h"

#include <algorithm>

#include "spreadsheet/xls/AsciiName.h"
#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/BiffRecord.h"

namespace xls {
namespace {

bool IsCellTableRecord(std::uint16_t t) {
  switch (t) {
    case rec::kRow:
    case rec::kBlank:
    case rec::kMulBlank:
    case rec::kNumber:
    case rec::kRk:
    case rec::kMulRk:
    case rec::kLabel:
    case rec::kLabelSst:
    case rec::kRString:
    case rec::kBoolErr:
    case rec::kFormula:
    case rec::kString:
    case rec::kArray:
    case rec::kShrFmla:
    case rec::kTable:
    case rec::kDbCell:
      return true;
    default:
      return false;
  }
}

double DecodeRk(std::uint32_t rk) {
  double v;
  if (rk & 2) {
    v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    std::uint8_t b[8] = {};
    PutU32(b + 4, rk & 0xFFFFFFFC);
    v = GetF64(b);
  }
  return (rk & 1) ? v / 100.0 : v;
}

[[noreturn]] void Damaged(const std::u16string& sheet, const char* what, std::size_t offset) {
  throw platform::Error("damaged workbook: sheet '" + Ascii(sheet) + "': " + what + " at offset " +
                        std::to_string(offset));
}

}  // namespace

std::uint16_t Substream::Read(const std::shared_ptr<const std::vector<std::uint8_t>>& in, std::size_t pos,
                              const std::string& sheetName) {
  std::span<const std::uint8_t> all(*in);
  if (pos >= all.size())
    throw platform::Error("damaged workbook: sheet '" + sheetName + "' starts at offset " + std::to_string(pos) +
                          ", beyond the end of the workbook stream (" + std::to_string(all.size()) + " bytes)");
  RecordGroup first = ReadRecordGroup(all, pos);
  if (first.type != rec::kBof || first.data().size() < 4)
    throw platform::Error("damaged workbook: sheet '" + sheetName + "' at offset " + std::to_string(pos) +
                          " does not start with a BOF record");
  std::uint16_t sheetType = GetU16(&first.data()[2]);
  int depth = 0;
  std::size_t at = pos;
  for (;;) {
    if (at >= all.size())
      throw platform::Error("truncated workbook stream: sheet '" + sheetName + "' has no EOF record");
    RecordHeader h = ReadRecordHeader(all, at);
    if (h.type == rec::kBof) ++depth;
    if (h.type == rec::kIndex && depth == 1) indexRecords.push_back(at - pos);
    at = h.end;
    if (h.type == rec::kEof && --depth == 0) break;
  }
  stream = in;
  offset = pos;
  size = at - pos;
  return sheetType;
}

SheetLayout SheetLayout::Scan(std::span<const std::uint8_t> s) {
  SheetLayout layout;
  std::size_t lastCellEnd = kNone, window2 = kNone, eof = kNone;
  int depth = 0;
  bool inCell = false;  // a CONTINUE goes with the record before it
  for (std::size_t at = 0; at < s.size();) {
    RecordHeader h = ReadRecordHeader(s, at);
    if (h.type == rec::kBof) ++depth;
    if (h.type != rec::kContinue) inCell = depth == 1 && IsCellTableRecord(h.type);
    if (depth == 1) {
      if (h.type == rec::kIndex) layout.index.push_back(at);
      if (h.type == rec::kDimensions && layout.dimensions == kNone) layout.dimensions = at;
      if (h.type == rec::kWindow2 && window2 == kNone) window2 = at;
    }
    if (inCell) lastCellEnd = h.end;
    if (h.type == rec::kEof && --depth == 0) {
      eof = at;
      break;
    }
    at = h.end;
  }
  layout.Place(s, lastCellEnd, window2, eof);
  return layout;
}

void SheetLayout::Place(std::span<const std::uint8_t> s, std::size_t lastCellEnd, std::size_t window2,
                        std::size_t eof) {
  // Without cells, where a rebuild would put them: after DIMENSIONS, else
  // before WINDOW2 or the EOF.
  if (lastCellEnd != kNone)
    cellTableEnd = lastCellEnd;
  else if (dimensions != kNone)
    cellTableEnd = dimensions + 4 + GetU16(&s[dimensions + 2]);
  else
    cellTableEnd = window2 != kNone ? window2 : eof;
}

void Worksheet::Impl::Parse() {
  // New rows added meanwhile lie below every row of the original.
  std::map<int, SheetRow> added = std::move(rows);
  rows.clear();
  lastFoundValid = false;
  ParseCells();
  for (auto& [r, row] : added) rows[r] = std::move(row);
  lastFoundValid = false;
  head.reset();
  parsed = true;
  usedRows = usedCols = -1;  // now from the cells themselves
}

const Worksheet::Impl& Worksheet::Impl::ReaderFor(int row) const {
  if (parsed || row >= originalRows) return *this;
  if (row >= kHeadRows || !cellsInRowOrder) {
    EnsureParsed();
    return *this;
  }
  if (!head) {
    struct Done {};
    auto first = std::make_unique<Impl>();
    first->book = book;
    first->name = name;
    first->original = original;
    first->beforeCellRow = [](int r) {
      if (r >= kHeadRows) throw Done{};
    };
    try {
      first->ParseCells();
    } catch (const Done&) {
    }
    first->beforeCellRow = nullptr;
    head = std::move(first);
  }
  return *head;
}

// The checks ParseCells makes, without building anything: a damaged sheet is
// refused when the workbook is read, whether or not its cells are used.
void Worksheet::Impl::ScanCells() {
  std::span<const std::uint8_t> s = original.Bytes();
  int depth = 0;
  bool afterFormula = false;
  int lastRow = -1, lastCol = -1, anyRow = -1, lastCellRow = -1;
  std::uint32_t sstRefs = 0;
  cellsInRowOrder = true;
  scannedFormulas = scannedUncalced = false;
  // The layout comes from the same pass (see SheetLayout::Scan).
  SheetLayout found;
  std::size_t lastCellEnd = SheetLayout::kNone, window2 = SheetLayout::kNone, eof = SheetLayout::kNone;
  bool inCell = false;
  for (std::size_t at = 0; at < s.size();) {
    const std::size_t here = at;
    RecordHeader h = ReadRecordHeader(s, at);
    at = h.end;
    if (h.type == rec::kContinue) {  // goes with the record before it
      if (inCell) lastCellEnd = h.end;
      continue;
    }
    if (h.type == rec::kBof) ++depth;
    const bool nested = depth > 1;
    inCell = depth == 1 && IsCellTableRecord(h.type);
    if (depth == 1) {
      if (h.type == rec::kIndex) found.index.push_back(here);
      if (h.type == rec::kDimensions && found.dimensions == SheetLayout::kNone) found.dimensions = here;
      if (h.type == rec::kWindow2 && window2 == SheetLayout::kNone) window2 = here;
      if (h.type == rec::kEof && eof == SheetLayout::kNone) eof = here;
    }
    if (inCell) lastCellEnd = h.end;
    if (h.type == rec::kEof) --depth;
    if (nested || !IsCellTableRecord(h.type)) {
      if (!nested && h.type == rec::kUncalced) scannedUncalced = true;
      afterFormula = false;
      continue;
    }
    std::span<const std::uint8_t> d = s.subspan(here + 4, h.end - here - 4);
    // Every record naming a row (the ROW record and the cells) counts for
    // where new rows may go; the cells must come row by row for a sheet
    // to be read in one pass.
    if (d.size() >= 2 && h.type != rec::kDbCell && h.type != rec::kString && h.type != rec::kShrFmla &&
        h.type != rec::kArray && h.type != rec::kTable) {
      int row = GetU16(&d[0]);
      anyRow = std::max(anyRow, row);
      if (h.type != rec::kRow) {
        if (row < lastCellRow) cellsInRowOrder = false;
        lastCellRow = row;
      }
    }
    auto need = [&](std::size_t n) {
      if (d.size() < n) Damaged(name, "cell record too short", original.offset + here);
    };
    // A cell with a value: counted into the used range.
    auto valueAt = [&](std::size_t row, std::size_t col) {
      if (col >= static_cast<std::size_t>(kMaxColumns)) Damaged(name, "cell beyond column IV", original.offset + here);
      lastRow = std::max(lastRow, static_cast<int>(row));
      lastCol = std::max(lastCol, static_cast<int>(col));
    };
    auto blankAt = [&](std::size_t col) {
      if (col >= static_cast<std::size_t>(kMaxColumns)) Damaged(name, "cell beyond column IV", original.offset + here);
    };
    bool formula = false;
    switch (h.type) {
      case rec::kRow:
        need(16);
        break;
      case rec::kBlank:
        need(6);
        blankAt(GetU16(&d[2]));
        break;
      case rec::kMulBlank: {
        need(6);
        std::size_t n = (d.size() - 6) / 2;
        if (n) blankAt(GetU16(&d[2]) + n - 1);
        break;
      }
      case rec::kNumber:
        need(14);
        valueAt(GetU16(&d[0]), GetU16(&d[2]));
        break;
      case rec::kRk:
        need(10);
        valueAt(GetU16(&d[0]), GetU16(&d[2]));
        break;
      case rec::kMulRk: {
        need(6);
        std::size_t n = (d.size() - 6) / 6;
        if (n) valueAt(GetU16(&d[0]), GetU16(&d[2]) + n - 1);
        break;
      }
      case rec::kLabel:
      case rec::kRString: {
        need(6);
        std::size_t pos = 6;
        ParseUnicodeString(d, pos, false, "LABEL");
        valueAt(GetU16(&d[0]), GetU16(&d[2]));
        break;
      }
      case rec::kLabelSst:
        need(10);
        if (GetU32(&d[6]) >= book->strings.size())
          Damaged(name, "LABELSST refers to a string the shared-string table does not hold", original.offset + here);
        valueAt(GetU16(&d[0]), GetU16(&d[2]));
        ++sstRefs;
        break;
      case rec::kBoolErr:
        need(8);
        valueAt(GetU16(&d[0]), GetU16(&d[2]));
        break;
      case rec::kFormula:
        need(22);
        valueAt(GetU16(&d[0]), GetU16(&d[2]));
        formula = true;
        scannedFormulas = true;
        break;
      case rec::kString:
        if (afterFormula) {
          RecordGroup g = ReadRecordGroup(s, here);
          ContinuedReader reader(g, "STRING");
          std::uint16_t cch = reader.U16();
          std::uint8_t flags = reader.U8();
          reader.Chars(cch, flags & 0x01);
        }
        formula = afterFormula;
        break;
      case rec::kShrFmla:
      case rec::kArray:
      case rec::kTable:
        formula = afterFormula;
        break;
      default:
        break;
    }
    afterFormula = formula;
  }
  usedRows = lastRow + 1;
  usedCols = lastRow >= 0 ? lastCol + 1 : 0;
  scannedSstReferences = sstRefs;
  originalRows = anyRow + 1;
  found.Place(s, lastCellEnd, window2, eof);
  layout = std::move(found);
  parsed = false;
}

void Worksheet::Impl::ParseCells() {
  std::span<const std::uint8_t> s = original.Bytes();
  std::size_t at = 0;
  int depth = 0;
  bool cellTableSeen = false;
  std::int32_t lastFormula = -1;
  std::size_t lastFormulaCellRow = 0;
  std::uint16_t lastFormulaCellCol = 0;
  while (at < s.size()) {
    RecordGroup g = ReadRecordGroup(s, at);
    std::size_t here = at;
    at = g.end;
    if (g.type == rec::kBof) ++depth;
    bool nested = depth > 1 || (g.type == rec::kEof && depth > 1);
    if (g.type == rec::kEof) --depth;
    if (nested || !IsCellTableRecord(g.type)) {
      records.emplace_back(s.begin() + here, s.begin() + g.end);
      recordTypes.push_back(g.type);
      lastFormula = -1;
      continue;
    }
    if (!cellTableSeen) {
      cellTableSeen = true;
      cellTablePos = records.size();
    }
    auto d = g.data();
    auto need = [&](std::size_t n) {
      if (d.size() < n) Damaged(name, "cell record too short", original.offset + here);
    };
    auto cellAt = [&](std::size_t row, std::size_t col) -> SheetCell& {
      if (col >= static_cast<std::size_t>(kMaxColumns)) Damaged(name, "cell beyond column IV", original.offset + here);
      return Put(static_cast<int>(row), static_cast<int>(col));
    };
    if (beforeCellRow && g.type != rec::kRow && g.type != rec::kDbCell && g.type != rec::kString &&
        g.type != rec::kShrFmla && g.type != rec::kArray && g.type != rec::kTable && d.size() >= 2)
      beforeCellRow(GetU16(&d[0]));
    switch (g.type) {
      case rec::kRow: {
        need(16);
        std::uint16_t r = GetU16(&d[0]);
        SheetRow& row = rows.empty() || std::prev(rows.end())->first < r
                            ? rows.emplace_hint(rows.end(), r, SheetRow{})->second
                            : rows[r];
        std::copy(d.begin(), d.begin() + 16, row.rowRecord.begin());
        row.hasRowRecord = true;
        // Room for the cells the record announces (first column, last + 1).
        std::uint16_t first = GetU16(&d[2]), last = GetU16(&d[4]);
        if (row.cells.empty() && last > first) row.cells.reserve(std::min<std::size_t>(last - first, kMaxColumns));
        break;
      }
      case rec::kBlank: {
        need(6);
        SheetCell& c = cellAt(GetU16(&d[0]), GetU16(&d[2]));
        c = SheetCell{};
        c.col = GetU16(&d[2]);
        c.xf = GetU16(&d[4]);
        break;
      }
      case rec::kMulBlank: {
        need(6);
        std::uint16_t r = GetU16(&d[0]), first = GetU16(&d[2]);
        std::size_t n = (d.size() - 6) / 2;
        for (std::size_t k = 0; k < n; ++k) {
          SheetCell& c = cellAt(r, first + k);
          c = SheetCell{};
          c.col = static_cast<std::uint16_t>(first + k);
          c.xf = GetU16(&d[4 + 2 * k]);
        }
        break;
      }
      case rec::kNumber:
      case rec::kRk: {
        need(g.type == rec::kNumber ? 14 : 10);
        SheetCell& c = cellAt(GetU16(&d[0]), GetU16(&d[2]));
        c = SheetCell{};
        c.col = GetU16(&d[2]);
        c.xf = GetU16(&d[4]);
        c.kind = CellKind::Number;
        c.number = g.type == rec::kNumber ? GetF64(&d[6]) : DecodeRk(GetU32(&d[6]));
        break;
      }
      case rec::kMulRk: {
        need(6);
        std::uint16_t r = GetU16(&d[0]), first = GetU16(&d[2]);
        std::size_t n = (d.size() - 6) / 6;
        for (std::size_t k = 0; k < n; ++k) {
          SheetCell& c = cellAt(r, first + k);
          c = SheetCell{};
          c.col = static_cast<std::uint16_t>(first + k);
          c.xf = GetU16(&d[4 + 6 * k]);
          c.kind = CellKind::Number;
          c.number = DecodeRk(GetU32(&d[6 + 6 * k]));
        }
        break;
      }
      case rec::kLabel:
      case rec::kRString: {
        need(6);
        std::size_t pos = 6;
        std::u16string text = ParseUnicodeString(d, pos, false, "LABEL");
        SheetCell& c = cellAt(GetU16(&d[0]), GetU16(&d[2]));
        c = SheetCell{};
        c.col = GetU16(&d[2]);
        c.xf = GetU16(&d[4]);
        c.kind = CellKind::Text;
        c.localText = true;
        c.text = static_cast<std::uint32_t>(localStrings.size());
        localStrings.push_back(std::move(text));
        break;
      }
      case rec::kLabelSst: {
        need(10);
        std::uint32_t isst = GetU32(&d[6]);
        if (isst >= book->strings.size())
          Damaged(name, "LABELSST refers to a string the shared-string table does not hold", original.offset + here);
        SheetCell& c = cellAt(GetU16(&d[0]), GetU16(&d[2]));
        c = SheetCell{};
        c.col = GetU16(&d[2]);
        c.xf = GetU16(&d[4]);
        c.kind = CellKind::Text;
        c.text = isst;
        break;
      }
      case rec::kBoolErr: {
        need(8);
        SheetCell& c = cellAt(GetU16(&d[0]), GetU16(&d[2]));
        c = SheetCell{};
        c.col = GetU16(&d[2]);
        c.xf = GetU16(&d[4]);
        if (d[7]) {
          c.kind = CellKind::Error;
          c.error = d[6];
        } else {
          c.kind = CellKind::Boolean;
          c.boolean = d[6] != 0;
        }
        break;
      }
      case rec::kFormula: {
        need(22);
        std::uint16_t r = GetU16(&d[0]), col = GetU16(&d[2]);
        SheetCell& c = cellAt(r, col);
        c = SheetCell{};
        c.col = col;
        c.xf = GetU16(&d[4]);
        c.isFormula = true;
        if (GetU16(&d[12]) == 0xFFFF) {
          switch (d[6]) {
            case 0:
              c.kind = CellKind::Text;
              c.localText = true;
              c.text = static_cast<std::uint32_t>(localStrings.size());
              localStrings.emplace_back();  // filled by the STRING record
              break;
            case 1:
              c.kind = CellKind::Boolean;
              c.boolean = d[8] != 0;
              break;
            case 2:
              c.kind = CellKind::Error;
              c.error = d[8];
              break;
            case 3:
              c.kind = CellKind::Text;
              c.localText = true;
              c.text = static_cast<std::uint32_t>(localStrings.size());
              localStrings.emplace_back();
              break;
            default:
              c.kind = CellKind::Empty;
              break;
          }
        } else {
          c.kind = CellKind::Number;
          c.number = GetF64(&d[6]);
        }
        c.formula = static_cast<std::int32_t>(formulas.size());
        formulas.emplace_back(s.begin() + here, s.begin() + g.end);
        lastFormula = c.formula;
        lastFormulaCellRow = r;
        lastFormulaCellCol = col;
        continue;  // keeps lastFormula for the records that belong to it
      }
      case rec::kString:
      case rec::kShrFmla:
      case rec::kArray:
      case rec::kTable: {
        if (lastFormula < 0) break;  // stray: dropped with the cell table it belonged to
        auto& blob = formulas[lastFormula];
        blob.insert(blob.end(), s.begin() + here, s.begin() + g.end);
        if (g.type == rec::kString) {
          // A long result goes on in CONTINUE records.
          ContinuedReader reader(g, "STRING");
          std::uint16_t cch = reader.U16();
          std::uint8_t flags = reader.U8();
          std::u16string text = reader.Chars(cch, flags & 0x01);
          const SheetCell* c = Find(static_cast<int>(lastFormulaCellRow), lastFormulaCellCol);
          if (c && c->kind == CellKind::Text && c->localText) localStrings[c->text] = std::move(text);
        }
        continue;
      }
      default:
        break;  // DBCELL: positions, rebuilt from scratch
    }
    lastFormula = -1;
  }
  originalRows = rows.empty() ? 0 : rows.rbegin()->first + 1;
  layout = SheetLayout::Scan(s);
  if (!cellTableSeen) {
    // No cells: the table goes after DIMENSIONS, else before WINDOW2 or the EOF.
    cellTablePos = records.size() ? records.size() - 1 : 0;
    for (std::size_t i = 0; i < recordTypes.size(); ++i) {
      if (recordTypes[i] == rec::kDimensions) {
        cellTablePos = i + 1;
        break;
      }
      if (recordTypes[i] == rec::kWindow2) {
        cellTablePos = i;
        break;
      }
    }
  }
}

}  // namespace xls
