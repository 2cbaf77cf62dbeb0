#include "tools/fill.h"

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/capture.h"
#include "support/state.h"
#include "tools/raster.h"

static int count_red() {
  int n = 0;
  for (int i = 0; i < 3 * mv_size_widht * mv_size_heigth; i += 3)
    n += px_cnvs[i] == 255 && px_cnvs[i + 1] == 0 && px_cnvs[i + 2] == 0;
  return n;
}

TEST(Fill, RecoloursTheFourConnectedRegionOfTheSeed) {
  struct Case { int w, h; void (*draw)(); int x, y, result, red; };
  const Case cases[] = {
      {64, 64, [] {}, 30, 41, 1, 4096}, {16, 16, [] {}, -1, 0, 0, 0}, {16, 16, [] {}, 0, 16, 0, 0},
      {32, 32, [] { px_circle(px_cnvs, 10, 10, 15, 15, 0, 0, 0); }, 10, 10, 1, 60},  // inside only
      {8, 8, [] { px_line(px_cnvs, 0, 0, 7, 7, 0, 0, 0); }, 7, 0, 1, 28},
      // The white seed (1, 0) beside (0, 0), (2, 0) and (1, 1), each off by one in one component.
      {3, 2, [] { px_cnvs[0] = px_cnvs[3 * 2 + 1] = px_cnvs[3 * 4 + 2] = 254; }, 1, 0, 1, 1},
      {16, 16, [] { px_dot(px_cnvs, 4, 4, 255, 0, 0); }, 4, 4, -1, 1},
      // Walls on the odd cells of odd rows: about two million seeds pending at once.
      {kMaxCanvasSide, kMaxCanvasSide, [] {
         for (int y = 1; y < kMaxCanvasSide; y += 2)
           for (int x = 1; x < kMaxCanvasSide; x += 2) px_dot(px_cnvs, x, y, 0, 0, 0);
       }, 0, 0, 1, kMaxCanvasSide * kMaxCanvasSide / 4 * 3},
  };
  PrintCapture quiet;
  for (const Case &c : cases) {
    reset_editor_state(c.w, c.h);
    c.draw();
    EXPECT_EQ(px_paint(c.x, c.y, 255, 0, 0), c.result) << "case " << &c - cases;
    EXPECT_EQ(count_red(), c.red) << "case " << &c - cases;
  }
  reset_editor_state();  // gives the big canvas back
}
