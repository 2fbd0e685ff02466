#include "spreadsheet/xls/SheetModel.h"

#include <algorithm>

#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/BiffRecord.h"

namespace xls {
namespace {

constexpr std::uint16_t kUncalced = 0x005E;

std::string Ascii(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return out;
}

bool IsCellTableRecord(std::uint16_t t) {
    switch (t) {
        case rec::kRow: case rec::kBlank: case rec::kMulBlank: case rec::kNumber: case rec::kRk:
        case rec::kMulRk: case rec::kLabel: case rec::kLabelSst: case rec::kRString: case rec::kBoolErr:
        case rec::kFormula: case rec::kString: case rec::kArray: case rec::kShrFmla: case rec::kTable:
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
    throw XlsError("damaged workbook: sheet '" + Ascii(sheet) + "': " + what + " at offset " +
                   std::to_string(offset));
}

}  // namespace

std::uint16_t Substream::Read(const std::shared_ptr<const std::vector<std::uint8_t>>& in, std::size_t pos,
                              const std::string& sheetName) {
    std::span<const std::uint8_t> all(*in);
    if (pos >= all.size())
        throw XlsError("damaged workbook: sheet '" + sheetName + "' starts at offset " + std::to_string(pos) +
                       ", beyond the end of the workbook stream (" + std::to_string(all.size()) + " bytes)");
    RecordGroup first = ReadRecordGroup(all, pos);
    if (first.type != rec::kBof || first.data().size() < 4)
        throw XlsError("damaged workbook: sheet '" + sheetName + "' at offset " + std::to_string(pos) +
                       " does not start with a BOF record");
    std::uint16_t sheetType = GetU16(&first.data()[2]);
    int depth = 0;
    std::size_t at = pos;
    for (;;) {
        if (at >= all.size())
            throw XlsError("truncated workbook stream: sheet '" + sheetName + "' has no EOF record");
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
            MoveIndexPositions(&index[4], length - 4,
                               [&](std::uint32_t p) { return static_cast<std::uint32_t>(p + delta); });
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

void SheetLayout::Place(std::span<const std::uint8_t> s, std::size_t lastCellEnd, std::size_t window2, std::size_t eof) {
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
            if (!nested && h.type == kUncalced) scannedUncalced = true;
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
            case rec::kRow: need(16); break;
            case rec::kBlank: need(6); blankAt(GetU16(&d[2])); break;
            case rec::kMulBlank: {
                need(6);
                std::size_t n = (d.size() - 6) / 2;
                if (n) blankAt(GetU16(&d[2]) + n - 1);
                break;
            }
            case rec::kNumber: need(14); valueAt(GetU16(&d[0]), GetU16(&d[2])); break;
            case rec::kRk: need(10); valueAt(GetU16(&d[0]), GetU16(&d[2])); break;
            case rec::kMulRk: {
                need(6);
                std::size_t n = (d.size() - 6) / 6;
                if (n) valueAt(GetU16(&d[0]), GetU16(&d[2]) + n - 1);
                break;
            }
            case rec::kLabel: case rec::kRString: {
                need(6);
                std::size_t pos = 6;
                ParseUnicodeString(d, pos, false, "LABEL");
                valueAt(GetU16(&d[0]), GetU16(&d[2]));
                break;
            }
            case rec::kLabelSst:
                need(10);
                if (GetU32(&d[6]) >= book->strings.size())
                    Damaged(name, "LABELSST refers to a string the shared-string table does not hold",
                            original.offset + here);
                valueAt(GetU16(&d[0]), GetU16(&d[2]));
                ++sstRefs;
                break;
            case rec::kBoolErr: need(8); valueAt(GetU16(&d[0]), GetU16(&d[2])); break;
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
            case rec::kShrFmla: case rec::kArray: case rec::kTable: formula = afterFormula; break;
            default: break;
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
                if (row.cells.empty() && last > first)
                    row.cells.reserve(std::min<std::size_t>(last - first, kMaxColumns));
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
            case rec::kNumber: case rec::kRk: {
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
            case rec::kLabel: case rec::kRString: {
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
                    Damaged(name, "LABELSST refers to a string the shared-string table does not hold",
                            original.offset + here);
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
                        case 0: c.kind = CellKind::Text; c.localText = true;
                                c.text = static_cast<std::uint32_t>(localStrings.size());
                                localStrings.emplace_back();  // filled by the STRING record
                                break;
                        case 1: c.kind = CellKind::Boolean; c.boolean = d[8] != 0; break;
                        case 2: c.kind = CellKind::Error; c.error = d[8]; break;
                        case 3: c.kind = CellKind::Text; c.localText = true;
                                c.text = static_cast<std::uint32_t>(localStrings.size());
                                localStrings.emplace_back();
                                break;
                        default: c.kind = CellKind::Empty; break;
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
            case rec::kString: case rec::kShrFmla: case rec::kArray: case rec::kTable: {
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
            if (recordTypes[i] == rec::kDimensions) { cellTablePos = i + 1; break; }
            if (recordTypes[i] == rec::kWindow2) { cellTablePos = i; break; }
        }
    }
}

void Worksheet::Impl::InternTexts() {
    for (auto& [r, row] : rows)
        for (auto& c : row.cells)
            if (c.kind == CellKind::Text && c.localText && !c.isFormula) {
                c.text = book->Intern(localStrings[c.text]);
                c.localText = false;
            }
}

std::uint32_t Worksheet::Impl::SstReferences() const {
    std::uint32_t n = parsed ? 0 : scannedSstReferences;  // then `rows` holds the new rows only
    for (const auto& [r, row] : rows)
        for (const auto& c : row.cells) n += c.kind == CellKind::Text && !c.localText;
    return n;
}

void Worksheet::Impl::InitNew(bool selected) {
    auto add = [&](std::uint16_t type, std::vector<std::uint8_t> data) {
        std::vector<std::uint8_t> bytes;
        AppendRecord(bytes, type, data);
        records.push_back(std::move(bytes));
        recordTypes.push_back(type);
    };
    add(rec::kBof, {0x00, 0x06, 0x10, 0x00, 0xBB, 0x0D, 0xCC, 0x07, 0, 0, 0, 0, 0x06, 0x00, 0x00, 0x00});
    add(rec::kDefaultRowHeight, {0x00, 0x00, 0xFF, 0x00});
    add(rec::kWsBool, {0xC1, 0x04});
    add(rec::kDefColWidth, {0x08, 0x00});
    add(rec::kDimensions, std::vector<std::uint8_t>(14, 0));
    cellTablePos = records.size();
    std::uint16_t grbit = selected ? 0x06B6 : 0x00B6;
    add(rec::kWindow2, {static_cast<std::uint8_t>(grbit), static_cast<std::uint8_t>(grbit >> 8), 0, 0, 0, 0, 0x40,
                        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    add(rec::kEof, {});
    modified = true;
}

std::map<int, SheetRow>::const_iterator Worksheet::Impl::FindRow(int row) const {
    if (lastFoundValid) {
        if (lastFound->first == row) return lastFound;
        auto next = std::next(lastFound);
        if (next != rows.end() && next->first == row) {
            lastFound = next;
            return next;
        }
    }
    auto found = rows.find(row);
    if (found != rows.end()) {
        lastFound = found;
        lastFoundValid = true;
    }
    return found;
}

const SheetCell* Worksheet::Impl::Find(int row, int col) const {
    auto found = FindRow(row);
    if (found == rows.end()) return nullptr;
    const auto& cells = found->second.cells;
    auto it = std::lower_bound(cells.begin(), cells.end(), col,
                               [](const SheetCell& c, int k) { return c.col < k; });
    return it != cells.end() && it->col == col ? &*it : nullptr;
}

SheetCell& Worksheet::Impl::Put(int row, int col) {
    // Rows mostly come in order (loading, appending): a new row after the last
    // one, or the row of the previous lookup or the one after it, is found
    // without a search, and a new last row makes room for as many cells as the
    // row before it held.
    auto last = rows.empty() ? rows.end() : std::prev(rows.end());
    std::map<int, SheetRow>::iterator found;
    if (last == rows.end() || last->first < row) {
        found = rows.emplace_hint(rows.end(), row, SheetRow{});
        if (last != rows.end()) found->second.cells.reserve(last->second.cells.size());
    } else if (auto known = FindRow(row); known != rows.end()) {
        found = rows.erase(known, known);  // the same element, made changeable
    } else {
        found = rows.try_emplace(row).first;
    }
    auto& cells = found->second.cells;
    if (cells.empty() || cells.back().col < col) {
        SheetCell c;
        c.col = static_cast<std::uint16_t>(col);
        c.xf = book->DefaultXf();
        cells.push_back(c);
        return cells.back();
    }
    auto it = std::lower_bound(cells.begin(), cells.end(), col,
                               [](const SheetCell& c, int k) { return c.col < k; });
    if (it != cells.end() && it->col == col) return *it;
    SheetCell c;
    c.col = static_cast<std::uint16_t>(col);
    c.xf = book->DefaultXf();
    return *cells.insert(it, c);
}

void Worksheet::Impl::Erase(int row, int col) {
    auto found = rows.find(row);
    if (found == rows.end()) return;
    auto& cells = found->second.cells;
    auto it = std::lower_bound(cells.begin(), cells.end(), col,
                               [](const SheetCell& c, int k) { return c.col < k; });
    if (it != cells.end() && it->col == col) cells.erase(it);
}

// A formula cell that anchors a shared or array formula is about to lose its
// formula: the cells that point at it keep their last results as plain values.
void Worksheet::Impl::DetachDependents(const SheetCell& anchor, int anchorRow) {
    if (!anchor.isFormula || anchor.formula < 0) return;
    const auto& blob = formulas[anchor.formula];
    bool owns = false;
    for (std::size_t at = 0; at + 4 <= blob.size();) {
        std::uint16_t t = GetU16(&blob[at]);
        if (t == rec::kShrFmla || t == rec::kArray || t == rec::kTable) owns = true;
        at += 4 + GetU16(&blob[at + 2]);
    }
    if (!owns) return;
    for (auto& [r, row] : rows)
        for (auto& c : row.cells) {
            if (!c.isFormula || c.formula < 0 || &c == &anchor) continue;
            const auto& f = formulas[c.formula];
            if (f.size() < 4 + 27) continue;
            const std::uint8_t* rgce = &f[4 + 22];
            if ((rgce[0] == 0x01 || rgce[0] == 0x02) && GetU16(rgce + 1) == anchorRow && GetU16(rgce + 3) == anchor.col) {
                c.isFormula = false;
                c.formula = -1;
                Touch(r);
            }
        }
}

void Worksheet::Impl::ComputeUsed() const {
    if (usedRows >= 0) return;
    int r = 0, cmax = 0;
    for (const auto& [i, row] : rows) {
        for (auto it = row.cells.rbegin(); it != row.cells.rend(); ++it) {
            if (it->kind != CellKind::Empty || it->isFormula) {
                r = i + 1;
                cmax = std::max(cmax, it->col + 1);
                break;
            }
        }
    }
    usedRows = r;
    usedCols = cmax;
}

std::u16string Worksheet::Impl::TextOf(const SheetCell& c) const {
    return c.localText ? localStrings[c.text] : book->strings[c.text].text;
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
    anyFormula = anyFormula &&
                      std::find(recordTypes.begin(), recordTypes.end(), kUncalced) == recordTypes.end();
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i == 1 && anyFormula) AppendRecord(out, kUncalced, std::vector<std::uint8_t>{0, 0});
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

bool RowWritten(const SheetRow& row, bool cleared) { return !row.cells.empty() || (row.hasRowRecord && !cleared); }

void AppendCellRecord(std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& data, int r, const SheetCell& c) {
    data.clear();
    AppendU16(data, static_cast<std::uint16_t>(r));
    AppendU16(data, c.col);
    AppendU16(data, c.xf);
    switch (c.kind) {
        case CellKind::Empty: AppendRecord(out, rec::kBlank, data); break;
        case CellKind::Number:
            AppendF64(data, c.number);
            AppendRecord(out, rec::kNumber, data);
            break;
        case CellKind::Text:
            AppendU32(data, c.text);  // an SST index by now
            AppendRecord(out, rec::kLabelSst, data);
            break;
        case CellKind::Boolean: case CellKind::Error:
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
        parsed ? std::find(recordTypes.begin(), recordTypes.end(), kUncalced) != recordTypes.end() : scannedUncalced;
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
        MoveIndexPositions(d, indexLen, [&](std::uint32_t p) {
            return static_cast<std::uint32_t>(start + moved(p - original.offset));
        });
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
