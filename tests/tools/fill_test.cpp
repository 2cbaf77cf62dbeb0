#include "tools/fill.h"

#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/capture.h"
#include "support/state.h"
#include "tools/raster.h"

namespace {
constexpr int kRed[3] = {255, 0, 0};

std::vector<int> picture() { return {px_cnvs, px_cnvs + 3 * mv_size_widht * mv_size_heigth}; }

bool is(int x, int y, int r, int g, int b) {
  int c[3];
  px_get_dot(px_cnvs, x, y, c);
  return c[0] == r && c[1] == g && c[2] == b;
}

int count_colour(int r, int g, int b) {
  int n = 0;
  for (int y = 0; y < mv_size_heigth; y++)
    for (int x = 0; x < mv_size_widht; x++) n += is(x, y, r, g, b);
  return n;
}

int fill_red(int x, int y) { return px_paint(x, y, kRed[0], kRed[1], kRed[2]); }
}  // namespace

TEST(Fill, WhiteCanvasIsFilledWholeFromAnySeed) {
  const std::pair<int, int> seeds[] = {{0, 0}, {63, 63}, {0, 40}, {17, 0}, {30, 41}};
  for (auto [x, y] : seeds) {
    reset_editor_state(64, 64);
    EXPECT_EQ(fill_red(x, y), 1);
    EXPECT_EQ(count_colour(255, 0, 0), 4096) << x << "," << y;
  }
}

TEST(Fill, StaysInsideACircleOutline) {
  reset_editor_state(32, 32);
  now_rgb[0] = now_rgb[1] = now_rgb[2] = 0;
  {
    PrintCapture quiet;
    px_circle(px_cnvs, 10, 10, 15, 15, 0, 0, 0);  // radius 5: columns and rows 5 to 14
  }
  fill_red(10, 10);
  // The inside: rows 6 and 13 span columns 7 to 12, rows 7 to 12 columns 6 to 13.
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 32; x++) {
      const bool inside = ((y == 6 || y == 13) && x >= 7 && x <= 12) ||
                          (y >= 7 && y <= 12 && x >= 6 && x <= 13);
      EXPECT_EQ(is(x, y, 255, 0, 0), inside) << x << "," << y;
    }
  EXPECT_EQ(count_colour(0, 0, 0), 28);
}

TEST(Fill, RegionsTouchingAtACornerStaySeparate) {
  reset_editor_state(8, 8);
  for (int i = 0; i < 8; i++) px_dot(px_cnvs, i, i, 0, 0, 0);  // the diagonal splits the canvas
  fill_red(7, 0);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) {
      if (x > y) {
        EXPECT_TRUE(is(x, y, 255, 0, 0)) << x << "," << y;
      } else if (x < y) {
        EXPECT_TRUE(is(x, y, 255, 255, 255)) << x << "," << y;
      }
    }
}

TEST(Fill, AnyComponentOffByOneIsABoundary) {
  const int walls[][3] = {{11, 20, 30}, {10, 21, 30}, {10, 20, 31}, {9, 20, 30}};
  for (auto &wall : walls) {
    reset_editor_state(7, 3);
    for (int y = 0; y < 3; y++)
      for (int x = 0; x < 7; x++)
        px_dot(px_cnvs, x, y, 10, 20, 30);
    for (int y = 0; y < 3; y++) px_dot(px_cnvs, 3, y, wall[0], wall[1], wall[2]);
    fill_red(1, 1);
    EXPECT_EQ(count_colour(255, 0, 0), 9) << wall[0] << "," << wall[1] << "," << wall[2];
    EXPECT_EQ(count_colour(wall[0], wall[1], wall[2]), 3);
    EXPECT_EQ(count_colour(10, 20, 30), 9);
  }
}

TEST(Fill, NothingToDoForTheFillColourOrASeedOffTheCanvas) {
  reset_editor_state(16, 16);
  px_dot(px_cnvs, 4, 4, 255, 0, 0);
  const std::vector<int> before = picture();
  EXPECT_EQ(fill_red(4, 4), -1);
  EXPECT_EQ(px_paint(0, 0, 255, 255, 255), -1);
  for (auto [x, y] : {std::pair{-1, 0}, {16, 0}, {0, -1}, {0, 16}, {-1, -1}})
    EXPECT_EQ(fill_red(x, y), 0) << x << "," << y;
  // Off the canvas reads as -1, -1, -1: not even that colour starts a fill there.
  EXPECT_EQ(px_paint(-1, 0, -1, -1, -1), 0);
  EXPECT_EQ(picture(), before);
}

// A picture may hold any integers (documents are not clamped); a region of
// -1, -1, -1 must not spread past the canvas edges, where reads yield the same.
TEST(Fill, RegionOfTheOffCanvasColourStopsAtTheEdges) {
  reset_editor_state(5, 4);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 5; x++) px_dot(px_cnvs, x, y, -1, -1, -1);
  EXPECT_EQ(fill_red(2, 2), 1);
  EXPECT_EQ(count_colour(255, 0, 0), 20);
}

// Every even row open, every odd row open at even columns only: each run of
// an even row leaves a seed for every gap above and below it, so the work
// list holds about two million entries at its peak, far past its first
// reservation. The fill must complete and stay within the list.
TEST(Fill, LargestCanvasWithManyPendingSeedsCompletes) {
  reset_editor_state(kMaxCanvasSide, kMaxCanvasSide);
  ASSERT_NE(px_cnvs, nullptr);
  int walls = 0;
  for (int y = 1; y < kMaxCanvasSide; y += 2)
    for (int x = 1; x < kMaxCanvasSide; x += 2, walls++) px_dot(px_cnvs, x, y, 0, 0, 0);
  PrintCapture out;
  EXPECT_EQ(fill_red(0, 0), 1);
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(count_colour(255, 0, 0), kMaxCanvasSide * kMaxCanvasSide - walls);
  EXPECT_EQ(count_colour(0, 0, 0), walls);
  reset_editor_state();  // give the memory back to the other tests
}
