#include "tools/raster.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <glib.h>
#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/capture.h"
#include "support/state.h"

using Cell = std::pair<int, int>;
using Cells = std::vector<Cell>;

// The rasterisers' own source compiled once more with every cell write
// recorded instead of stored, so that the order of the writes can be checked.
// Every header it uses is included above, so only its own functions land here.
namespace recorded {
Cells writes;
int record_dot(int *, int x, int y, int, int, int) {
  writes.push_back({x, y});
  return 0;
}
#define px_dot record_dot
#include "tools/raster.cpp"
#undef px_dot
}  // namespace recorded

namespace {
// Non-white cells of the picture, sorted.
Cells painted() {
  Cells out;
  for (int y = 0; y < mv_size_heigth; y++)
    for (int x = 0; x < mv_size_widht; x++) {
      int c[3];
      px_get_dot(px_cnvs, x, y, c);
      if (!px_is_white(c)) out.push_back({x, y});
    }
  std::sort(out.begin(), out.end());
  return out;
}

Cells on_canvas_sorted(Cells cells) {
  cells.erase(std::remove_if(cells.begin(), cells.end(),
                             [](Cell c) {
                               return c.first < 0 || c.second < 0 || c.first >= mv_size_widht ||
                                      c.second >= mv_size_heigth;
                             }),
              cells.end());
  std::sort(cells.begin(), cells.end());
  cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
  return cells;
}

Cells box_outline(int x1, int y1, int x2, int y2) {
  Cells out;
  for (int y = y1; y <= y2; y++)
    for (int x = x1; x <= x2; x++)
      if (x == x1 || x == x2 || y == y1 || y == y2) out.push_back({x, y});
  return out;
}

Cells rows_cols(std::initializer_list<int> rows, std::initializer_list<std::pair<int, int>> spans) {
  Cells out;
  for (int y : rows)
    for (auto [from, to] : spans)
      for (int x = from; x <= to; x++) out.push_back({x, y});
  std::sort(out.begin(), out.end());
  return out;
}

struct LineCase {
  int x1, y1, x2, y2;
  Cells order;  // every write, in order, off-canvas ones included
};
}  // namespace

TEST(Raster, LinesWriteTheirCellsInOrder) {
  const LineCase cases[] = {
      {0, 0, 5, 2, {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}}},
      {5, 2, 0, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}}},
      {3, 0, 0, 2, {{3, 0}, {2, 0}, {1, 1}, {0, 2}}},
      {0, 0, 2, 5, {{0, 0}, {0, 1}, {0, 2}, {1, 3}, {1, 4}, {2, 5}}},
      {2, 0, 0, 5, {{2, 0}, {1, 1}, {1, 2}, {0, 3}, {0, 4}, {0, 5}}},
      {4, 3, 0, 3, {{4, 3}, {3, 3}, {2, 3}, {1, 3}, {0, 3}}},
      {0, 3, 4, 3, {{0, 3}, {1, 3}, {2, 3}, {3, 3}, {4, 3}}},
      {2, 2, 2, 2, {{2, 2}}},
      {3, 4, 3, 1, {{3, 1}, {3, 2}, {3, 3}, {3, 4}}},
      {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
      // Top edge of a square opened one row above the canvas: the first cell
      // is on row -1, every later one truncates onto row 0.
      {2, -1, 6, -1, {{2, -1}, {3, 0}, {4, 0}, {5, 0}, {6, 0}}},
      {0, -3, 10, 2,
       {{0, -3}, {1, -2}, {2, -2}, {3, -1}, {4, -1}, {5, 0}, {6, 0}, {7, 0}, {8, 1}, {9, 1},
        {10, 2}}},
  };
  for (const LineCase &c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.x1 << "," << c.y1 << ")->(" << c.x2 << ","
                                    << c.y2 << ")");
    recorded::writes.clear();
    recorded::px_line(nullptr, c.x1, c.y1, c.x2, c.y2, 0, 0, 0);
    EXPECT_EQ(recorded::writes, c.order);

    // The program's own build writes the same cells into the picture.
    reset_editor_state(16, 16);
    px_line(px_cnvs, c.x1, c.y1, c.x2, c.y2, 0, 0, 0);
    EXPECT_EQ(painted(), on_canvas_sorted(c.order));
  }
}

TEST(Raster, BoxesAreFourLinesRoundTheCorners) {
  recorded::writes.clear();
  recorded::px_box(nullptr, 0, 0, 2, 1, 0, 0, 0);
  const Cells order = {{0, 0}, {1, 0}, {2, 0}, {2, 0}, {2, 1},
                       {2, 1}, {1, 1}, {0, 1}, {0, 0}, {0, 1}};
  EXPECT_EQ(recorded::writes, order);

  struct BoxCase {
    int x1, y1, x2, y2;
    Cells cells;
  };
  const BoxCase cases[] = {
      {1, 1, 4, 3, box_outline(1, 1, 4, 3)},
      {4, 3, 1, 1, box_outline(1, 1, 4, 3)},
      {9, 2, 3, 8, box_outline(3, 2, 9, 8)},
      {1, 2, 5, 2, box_outline(1, 2, 5, 2)},  // a row
      {6, 5, 6, 1, box_outline(6, 1, 6, 5)},  // a column
      {3, 3, 3, 3, {{3, 3}}},
      // Opened one row and column past the top left: the top edge lands on
      // row 0 after its first cell, the left edge stays on column -1.
      {-1, -1, 3, 3, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2},
                      {0, 3}, {1, 3}, {2, 3}, {3, 3}}},
  };
  for (const BoxCase &c : cases) {
    SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2);
    reset_editor_state(16, 16);
    px_box(px_cnvs, c.x1, c.y1, c.x2, c.y2, 9, 9, 9);
    Cells want = c.cells;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(painted(), want);
  }
}

TEST(Raster, CirclesAndEllipsesCoverTheirCells) {
  Cells radius5 = rows_cols({5, 14}, {{7, 12}});
  for (Cell c : rows_cols({6, 13}, {{6, 6}, {13, 13}})) radius5.push_back(c);
  for (Cell c : rows_cols({7, 8, 9, 10, 11, 12}, {{5, 5}, {14, 14}})) radius5.push_back(c);
  const Cells flat = rows_cols({4, 5}, {{6, 23}, {26, 43}});
  Cells narrow;  // the same ellipse turned on its side
  for (auto [x, y] : flat) narrow.push_back({y, x});

  struct CircleCase {
    const char *name;
    int x1, y1, x2, y2;
    Cells cells;
  };
  const CircleCase cases[] = {
      {"radius 1", 10, 10, 11, 11, {{9, 9}, {9, 10}, {10, 9}, {10, 10}}},
      {"radius 3", 10, 10, 13, 13, box_outline(7, 7, 12, 12)},
      {"radius 3, second point up left", 10, 10, 7, 7, box_outline(7, 7, 12, 12)},
      {"radius 5", 10, 10, 15, 15, radius5},
      {"radius 1 at the corner", 0, 0, 1, 1, {{0, 0}}},
      {"flat", 25, 5, 45, 6, flat},
      {"narrow", 5, 25, 6, 45, narrow},
      {"no width", 10, 10, 10, 15, {}},
      {"no height", 10, 10, 15, 10, {}},
      {"a point", 10, 10, 10, 10, {}},
  };
  for (const CircleCase &c : cases) {
    SCOPED_TRACE(c.name);
    reset_editor_state(64, 64);
    now_rgb[0] = now_rgb[1] = now_rgb[2] = 0;
    PrintCapture out;
    px_circle(px_cnvs, c.x1, c.y1, c.x2, c.y2, 0, 0, 0);
    Cells want = c.cells;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(painted(), want);
    // Every call traces its semi-axes and points, also when nothing is drawn.
    char trace[200];
    g_snprintf(trace, sizeof trace,
               "circle la:%d.000000,lb:%d.000000 , x1:%d , x2:%d , y1:%d , y2:%d\n",
               std::abs(c.x2 - c.x1), std::abs(c.y2 - c.y1), c.x1, c.x2, c.y1, c.y2);
    EXPECT_EQ(out.text(), trace);
  }
}

TEST(Raster, CircleSkipsCellsThatAlreadyHoldTheCurrentColour) {
  reset_editor_state(32, 32);
  PrintCapture quiet;
  now_rgb[0] = 10;
  now_rgb[1] = 20;
  now_rgb[2] = 30;
  px_circle(px_cnvs, 10, 10, 15, 15, 10, 20, 30);
  const Cells outline = painted();
  ASSERT_EQ(outline.size(), 28u);
  // The test is against the current colour, not the colour passed in: a
  // second pass in another colour finds every cell already done.
  px_circle(px_cnvs, 10, 10, 15, 15, 200, 0, 0);
  for (auto [x, y] : outline) {
    int c[3];
    px_get_dot(px_cnvs, x, y, c);
    EXPECT_EQ(c[0], 10) << x << "," << y;
  }
  // Cells of another colour are written once, whatever the sweep revisits.
  now_rgb[0] = 11;
  px_circle(px_cnvs, 10, 10, 15, 15, 200, 0, 0);
  EXPECT_EQ(painted(), outline);
  for (auto [x, y] : outline) {
    int c[3];
    px_get_dot(px_cnvs, x, y, c);
    EXPECT_EQ(c[0], 200) << x << "," << y;
  }
  // Drawn into a white overlay in white, a circle leaves no mark at all.
  now_rgb[0] = now_rgb[1] = now_rgb[2] = 255;
  px_circle(px_cnvs_vtl, 10, 10, 15, 15, 255, 255, 255);
  int l, t, r, b;
  EXPECT_FALSE(cells_overlay_bounds(&l, &t, &r, &b));
}
