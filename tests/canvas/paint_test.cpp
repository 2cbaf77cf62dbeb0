#include "canvas/paint.h"

#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/state.h"

// Whatever was written into the overlay (far apart, equal to the picture,
// turned white again), a repaint empties it and leaves the picture alone.
TEST(Repaint, EmptiesTheOverlayAndKeepsThePicture) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; round++) {
    const int w = 1 + rng() % 40, h = 1 + rng() % 40, n = 3 * w * h;
    reset_editor_state(w, h);
    for (int i = 0; i < 30; i++) {
      const int v = (rng() % 3 == 0) ? 255 : int(rng() % 256);
      px_dot(rng() % 2 ? px_cnvs : px_cnvs_vtl, rng() % (w + 2) - 1, rng() % (h + 2) - 1, v, 255, 255);
    }
    const std::vector<int> pic(px_cnvs, px_cnvs + n);
    px_draw_repaint();
    EXPECT_EQ(std::vector<int>(px_cnvs_vtl, px_cnvs_vtl + n), std::vector<int>(n, 255));
    EXPECT_EQ(std::vector<int>(px_cnvs, px_cnvs + n), pic);
  }
}
