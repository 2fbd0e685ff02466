#include "monitor/GridGeometry.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace monitor {

int CellExtent(int extent, int count, int gap) {
  if (count < 1) count = 1;
  const int64_t cell = (static_cast<int64_t>(extent) - static_cast<int64_t>(gap) * (count - 1)) / count;
  return cell < 0 ? 0 : static_cast<int>(cell);
}

int CellOffset(int cell, int index, int gap) {
  return (cell + gap) * index;
}

int ParseWeight(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) {
      value = static_cast<int64_t>(INT_MAX) + 1;
      break;
    }
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

std::vector<int> ColumnWidths(int w, int nColumns, const std::vector<std::string>& weights, int total) {
  std::vector<int> widths;
  if (nColumns < 1) return widths;
  const int rem = w % nColumns;
  const int64_t base = static_cast<int64_t>(w) - rem;
  widths.reserve(nColumns);
  for (int c = 0; c < nColumns; ++c) {
    int64_t width;
    if (total < 1) {
      width = base / nColumns;  // no usable weights: equal shares
    } else {
      const int64_t weight = c < static_cast<int>(weights.size()) ? ParseWeight(weights[c]) : 0;
      width = weight * base / total;
    }
    if (c == nColumns - 1) width += rem;
    widths.push_back(static_cast<int>(std::clamp<int64_t>(width, 0, INT_MAX)));
  }
  return widths;
}

}  // namespace monitor
