// The arithmetic of the monitor's grid: cell sizes and positions, and the
// split of a list's width over its columns by weight. Pure functions, so
// that the window code only applies their results.
#pragma once

#include <string>
#include <vector>

namespace monitor {

constexpr int kGapX = 3;  // pixels between two lists side by side
constexpr int kGapY = 2;  // pixels between two lists one above the other

// Size of one cell: (extent - gap * (count - 1)) / count, never negative.
// A count below 1 counts as 1.
int CellExtent(int extent, int count, int gap);
// Offset of cell index from the origin: (cell + gap) * index.
int CellOffset(int cell, int index, int gap);

// Decimal value of the leading integer of a width weight ("12px" -> 12,
// "x" -> 0), clamped to the int range.
int ParseWeight(const std::string& text);

// Widths of nColumns columns sharing width w by the weights: rem = w mod n,
// base = w - rem, width(c) = weight(c) * base / total, the last column gets
// rem added. Missing weights count 0; a total below 1 shares base equally;
// no width is negative. Empty for nColumns below 1.
std::vector<int> ColumnWidths(int w, int nColumns, const std::vector<std::string>& weights, int total);

}  // namespace monitor
