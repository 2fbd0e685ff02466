// The cells of a worksheet in memory: lookup, insertion, removal and extent.
#include "spreadsheet/xls/SheetModel.h"

#include <algorithm>

#include "spreadsheet/xls/BiffBytes.h"
#include "spreadsheet/xls/BiffRecord.h"

namespace xls {

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
  add(rec::kWindow2, {static_cast<std::uint8_t>(grbit), static_cast<std::uint8_t>(grbit >> 8), 0, 0, 0, 0, 0x40, 0, 0,
                      0, 0, 0, 0, 0, 0, 0, 0, 0});
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
  auto it = std::lower_bound(cells.begin(), cells.end(), col, [](const SheetCell& c, int k) { return c.col < k; });
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
  auto it = std::lower_bound(cells.begin(), cells.end(), col, [](const SheetCell& c, int k) { return c.col < k; });
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
  auto it = std::lower_bound(cells.begin(), cells.end(), col, [](const SheetCell& c, int k) { return c.col < k; });
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

}  // namespace xls
