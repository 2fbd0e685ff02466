// Grid and column-width arithmetic of the monitor dialog.
#include <gtest/gtest.h>

#include <climits>

#include "monitor/GridGeometry.h"

using monitor::CellExtent;
using monitor::CellOffset;
using monitor::ColumnWidths;
using monitor::ParseWeight;

namespace {
const std::vector<std::string> kDefaultWeights{"1", "2", "3"};
}

TEST(GridGeometry, FourColumnsOfAThousandPixels) {
  const int cell = CellExtent(1000, 4, monitor::kGapX);
  EXPECT_EQ(cell, 247);
  EXPECT_EQ(CellOffset(cell, 0, monitor::kGapX), 0);
  EXPECT_EQ(CellOffset(cell, 1, monitor::kGapX), 250);
  EXPECT_EQ(CellOffset(cell, 2, monitor::kGapX), 500);
  EXPECT_EQ(CellOffset(cell, 3, monitor::kGapX), 750);
  // Rows use the 2-pixel gap; leftover pixels stay empty at the bottom.
  EXPECT_EQ(CellExtent(601, 3, monitor::kGapY), 199);
}

TEST(GridGeometry, DegenerateCountsAndExtentsNeverDivideByZeroOrGoNegative) {
  EXPECT_EQ(CellExtent(500, 0, monitor::kGapX), 500);
  EXPECT_EQ(CellExtent(500, -3, monitor::kGapX), 500);
  EXPECT_EQ(CellExtent(5, 4, monitor::kGapX), 0);  // gaps wider than the window
  EXPECT_EQ(CellExtent(0, 1, monitor::kGapY), 0);
}

TEST(ColumnWidths, DefaultWeightsSplitWithTheRemainderInTheLastColumn) {
  EXPECT_EQ(ColumnWidths(263, 3, kDefaultWeights, 6), (std::vector<int>{43, 87, 132}));
  EXPECT_EQ(ColumnWidths(130, 3, kDefaultWeights, 6), (std::vector<int>{21, 43, 65}));
  // The widths add up to the cell width less the rounding of the first columns.
  for (int w = 0; w < 400; ++w) {
    const std::vector<int> widths = ColumnWidths(w, 3, kDefaultWeights, 6);
    const int sum = widths[0] + widths[1] + widths[2];
    EXPECT_LE(sum, w);
    EXPECT_GE(sum, w - 2) << w;
  }
}

TEST(ColumnWidths, DisagreeingConfigurationsStaySafe) {
  EXPECT_TRUE(ColumnWidths(300, 0, kDefaultWeights, 6).empty());
  EXPECT_TRUE(ColumnWidths(300, -1, kDefaultWeights, 6).empty());
  // Weights missing for the fourth column count 0; it still gets the remainder.
  EXPECT_EQ(ColumnWidths(301, 4, kDefaultWeights, 6), (std::vector<int>{50, 100, 150, 1}));
  // No usable total: equal shares instead of a division by zero.
  EXPECT_EQ(ColumnWidths(301, 3, {"0", "0", "0"}, 0), (std::vector<int>{100, 100, 101}));
  EXPECT_EQ(ColumnWidths(300, 2, {"a", "b"}, -5), (std::vector<int>{150, 150}));
  // A negative weight never becomes a negative (auto-size) width.
  EXPECT_EQ(ColumnWidths(300, 2, {"-1", "3"}, 2), (std::vector<int>{0, 450}));
  // Huge weights do not overflow.
  EXPECT_EQ(ColumnWidths(200, 2, {"2147483647", "2147483647"}, INT_MAX), (std::vector<int>{200, 200}));
}

TEST(ParseWeight, ReadsTheLeadingInteger) {
  EXPECT_EQ(ParseWeight("3"), 3);
  EXPECT_EQ(ParseWeight("  12px"), 12);
  EXPECT_EQ(ParseWeight("+7"), 7);
  EXPECT_EQ(ParseWeight("-4"), -4);
  EXPECT_EQ(ParseWeight(""), 0);
  EXPECT_EQ(ParseWeight("x1"), 0);
  EXPECT_EQ(ParseWeight("99999999999999"), INT_MAX);
  EXPECT_EQ(ParseWeight("-99999999999999"), INT_MIN);
}
