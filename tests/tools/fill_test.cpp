#include <set>

#include <gtest/gtest.h>

#include "base/globals.h"
#include "canvas/cells.h"
#include "support/support.h"
#include "tools/fill.h"
#include "tools/raster.h"

TEST(Fill, RecoloursTheFourConnectedRegionOfTheSeed) {
  const int side = kMaxCanvasSide;  // with walls on the odd cells of odd rows: a million pending seeds
  const struct { int w, h; void (*draw)(); int x, y, result, red; } cases[] = {
      {64, 64, [] {}, 30, 41, 1, 4096}, {16, 16, [] {}, 0, 16, 0, 0},  // off the canvas: nothing
      {32, 32, [] { px_circle(px_cnvs, 10, 10, 15, 15, 0, 0, 0); }, 10, 10, 1, 60},  // inside only
      {8, 8, [] { px_line(px_cnvs, 0, 0, 7, 7, 0, 0, 0); }, 7, 0, 1, 28},  // corners do not join
      {3, 2, [] { px_cnvs[0] = px_cnvs[7] = px_cnvs[14] = 254; }, 1, 0, 1, 1},  // off by 1
      {16, 16, [] { px_dot(px_cnvs, 4, 4, 255, 0, 0); }, 4, 4, -1, 1},
      {side, side, [] { for (int y = 1; y < side; y += 2) for (int x = 1; x < side; x += 2) px_dot(px_cnvs, x, y, 0, 0, 0); },
       0, 0, 1, side * side / 4 * 3},
  };
  for (const auto &c : cases) {
    reset_editor_state(c.w, c.h), c.draw();
    const int result = px_paint(c.x, c.y, 255, 0, 0);
    int red = 0;
    for (int *p = px_cnvs; p < px_cnvs + 3 * c.w * c.h; p += 3) red += p[0] == 255 && p[1] == 0 && p[2] == 0;
    EXPECT_EQ(std::pair(result, red), std::pair(c.result, c.red)) << "case " << &c - cases;
  }
  reset_editor_state();  // gives the big canvas back
}

// Far from the origin, a circle, an ellipse, a line and a box are those drawn near it, moved.
TEST(Raster, ShapesFarFromTheOriginAreThoseNearItMoved) {
  auto drawn = [](int dx, int dy) {  // the cells, moved back by (dx, dy)
    reset_editor_state(700, 600);
    px_circle(px_cnvs, 10 + dx, 10 + dy, 15 + dx, 10 + dy, 0, 0, 0);
    px_circle(px_cnvs, 40 + dx, 30 + dy, 52 + dx, 34 + dy, 0, 0, 0);
    px_line(px_cnvs, 3 + dx, 40 + dy, 30 + dx, 52 + dy, 0, 0, 0);
    px_box(px_cnvs, 60 + dx, 5 + dy, 45 + dx, 20 + dy, 0, 0, 0);
    std::set<std::pair<int, int>> out;
    for (int i = 0; i < 700 * 600; i++)
      if (px_cnvs[3 * i] == 0) out.insert({i % 700 - dx, i / 700 - dy});
    return out;
  };
  const auto near = drawn(0, 0);
  EXPECT_GT(near.size(), 100u);  // the four shapes, not an empty picture moved
  EXPECT_EQ(drawn(600, 300), near);
  EXPECT_EQ(drawn(257, 511), near);
  reset_editor_state();
}
