// Grid and column-width arithmetic of the monitor dialog.
#include <gtest/gtest.h>

#include <climits>

#include "monitor/GridGeometry.h"

using monitor::CellExtent;
using monitor::ColumnWidths;

TEST(GridGeometry, CellsAndOffsets) {
  EXPECT_EQ(monitor::CellOffset(CellExtent(1000, 4, monitor::kGapX), 3, monitor::kGapX), 750);
  EXPECT_EQ(CellExtent(601, 3, monitor::kGapY), 199);
  // Counts below 1 count as 1; gaps wider than the window give 0, not less.
  EXPECT_EQ(CellExtent(500, 0, monitor::kGapX), 500);
  EXPECT_EQ(CellExtent(500, -3, monitor::kGapX), 500);
  EXPECT_EQ(CellExtent(5, 4, monitor::kGapX), 0);
}

TEST(ColumnWidths, WeightsShareTheCellAndTheLastColumnTakesTheRemainder) {
  const std::vector<std::string> weights{"1", "2", "3"};
  EXPECT_EQ(ColumnWidths(263, 3, weights, 6), (std::vector<int>{43, 87, 132}));
  EXPECT_EQ(ColumnWidths(130, 3, weights, 6), (std::vector<int>{21, 43, 65}));
  // Weights are read like the leading integer of a text.
  EXPECT_EQ(ColumnWidths(300, 3, {" 1px", "+2", "3x"}, 6), (std::vector<int>{50, 100, 150}));
}

TEST(ColumnWidths, DisagreeingConfigurationsStaySafe) {
  const std::vector<std::string> weights{"1", "2", "3"};
  EXPECT_TRUE(ColumnWidths(300, 0, weights, 6).empty());
  // A missing weight counts 0; that column still gets the remainder.
  EXPECT_EQ(ColumnWidths(301, 4, weights, 6), (std::vector<int>{50, 100, 150, 1}));
  // No usable total: equal shares instead of a division by zero.
  EXPECT_EQ(ColumnWidths(301, 3, {"0", "0", "0"}, 0), (std::vector<int>{100, 100, 101}));
  // A negative weight never becomes a negative (auto-size) width.
  EXPECT_EQ(ColumnWidths(300, 2, {"-1", "3"}, 2), (std::vector<int>{0, 450}));
  // Huge weights neither overflow nor wrap.
  EXPECT_EQ(ColumnWidths(200, 2, {"99999999999", "2147483647"}, INT_MAX), (std::vector<int>{200, 200}));
  EXPECT_EQ(monitor::ParseWeight("-99999999999"), INT_MIN);
}
