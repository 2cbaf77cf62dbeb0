#include "tools/fill.h"

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/state.h"
#include "tools/raster.h"

TEST(Fill, RecoloursTheFourConnectedRegionOfTheSeed) {
  struct Case { int w, h; void (*draw)(); int x, y, result, red; };
  const Case cases[] = {
      {64, 64, [] {}, 30, 41, 1, 4096}, {16, 16, [] {}, 0, 16, 0, 0},  // off the canvas: nothing
      {32, 32, [] { px_circle(px_cnvs, 10, 10, 15, 15, 0, 0, 0); }, 10, 10, 1, 60},  // inside only
      {8, 8, [] { px_line(px_cnvs, 0, 0, 7, 7, 0, 0, 0); }, 7, 0, 1, 28},  // corners do not join
      {3, 2, [] { px_cnvs[0] = px_cnvs[7] = px_cnvs[14] = 254; }, 1, 0, 1, 1},  // off by 1
      {16, 16, [] { px_dot(px_cnvs, 4, 4, 255, 0, 0); }, 4, 4, -1, 1},
      {kMaxCanvasSide, kMaxCanvasSide, [] {  // walls on odd cells of odd rows: 2M pending seeds
         for (int y = 1; y < kMaxCanvasSide; y += 2)
           for (int x = 1; x < kMaxCanvasSide; x += 2) px_dot(px_cnvs, x, y, 0, 0, 0);
       }, 0, 0, 1, kMaxCanvasSide * kMaxCanvasSide / 4 * 3},
  };
  for (const Case &c : cases) {
    reset_editor_state(c.w, c.h);
    c.draw();
    const int result = px_paint(c.x, c.y, 255, 0, 0);
    int red = 0;
    for (int *p = px_cnvs; p < px_cnvs + 3 * c.w * c.h; p += 3)
      red += p[0] == 255 && p[1] == 0 && p[2] == 0;
    EXPECT_EQ(std::pair(result, red), std::pair(c.result, c.red)) << "case " << &c - cases;
  }
  reset_editor_state();  // gives the big canvas back
}
