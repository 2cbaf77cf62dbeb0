#include "canvas/paint.h"

#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/state.h"

TEST(Repaint, EmptiesTheOverlayAndKeepsThePicture) {
  reset_editor_state(20, 10);
  px_dot(px_cnvs, 3, 3, 10, 20, 30);
  px_dot(px_cnvs_vtl, 3, 3, 10, 20, 30);  // same as the picture: reset without painting
  px_dot(px_cnvs_vtl, 19, 9, 0, 0, 0);
  px_dot(px_cnvs_vtl, 0, 0, 1, 2, 3);
  const std::vector<int> pic(px_cnvs, px_cnvs + 600);
  px_draw_repaint();
  EXPECT_EQ(std::vector<int>(px_cnvs_vtl, px_cnvs_vtl + 600), std::vector<int>(600, 255));
  EXPECT_EQ(std::vector<int>(px_cnvs, px_cnvs + 600), pic);
  // A second repaint finds nothing left to do.
  int l, t, r, b;
  EXPECT_FALSE(cells_overlay_bounds(&l, &t, &r, &b));
}

TEST(Repaint, WhiteOverlayCellsCannotBeToldFromEmptyOnes) {
  reset_editor_state(8, 8);
  px_dot(px_cnvs, 2, 2, 0, 0, 0);
  px_dot(px_cnvs_vtl, 2, 2, 255, 255, 255);
  px_draw_repaint();
  int c[3];
  px_get_dot(px_cnvs, 2, 2, c);
  EXPECT_EQ(c[0], 0);
}

// Whatever was written into the overlay, a repaint leaves it white everywhere,
// also after writes far apart and writes that turned cells white again.
TEST(Repaint, RandomOverlaysAreAlwaysEmptiedCompletely) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; round++) {
    const int w = 1 + rng() % 40, h = 1 + rng() % 40;
    reset_editor_state(w, h);
    for (int i = 0; i < 30; i++) {
      const int v = (rng() % 3 == 0) ? 255 : int(rng() % 256);
      px_dot(px_cnvs_vtl, rng() % (w + 2) - 1, rng() % (h + 2) - 1, v, 255, 255);
    }
    px_draw_repaint();
    EXPECT_EQ(std::vector<int>(px_cnvs_vtl, px_cnvs_vtl + 3 * w * h),
              std::vector<int>(3 * w * h, 255))
        << w << "x" << h;
  }
}
