#include "canvas/history.h"

#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "base/globals.h"
#include "canvas/cells.h"
#include "support/support.h"

static std::vector<int> picture() { return {px_cnvs, px_cnvs + 3 * mv_size_widht * mv_size_heigth}; }
static void put(std::size_t cell, const int *c) { px_dot(px_cnvs, cell % mv_size_widht, cell / mv_size_widht, c[0], c[1], c[2]); }

// Random actions, some crossing a cell twice or changing nothing, undone to
// the start give the opened picture back, redone to the end the final one.
// A bound on the history's memory drops the oldest actions.
TEST(History, UndoAndRedoRestoreExactBuffersWithinTheBound) {
  std::mt19937 rng(11);
  reset_editor_state(16, 12);
  for (int i = 0; i < 40; i++) px_dot(px_cnvs, rng() % 16, rng() % 12, rng() % 256, 0, 7);
  history_clear();  // as after opening that picture
  const std::vector<int> opened = picture();
  for (int a = 0; a < 200; a++) {
    history_begin();
    for (int i = 0, n = rng() % 12; i < n; i++)  // cells change twice, some in blue alone
      px_dot(px_cnvs, rng() % 18 - 1, rng() % 5 - 1, rng() % 2 * 80, 1, rng() % 3);
    if (a % 10 == 0) px_dot_run(px_cnvs, -2, 20, rng() % 12, 9, 9, 9);  // one colour over many
    history_end();
  }
  const std::vector<int> last = picture();
  while (history_undo(put)) {
  }
  EXPECT_EQ(picture(), opened);
  while (history_redo(put)) {
  }
  EXPECT_EQ(picture(), last);
  cnvs_claer_full();  // as New, Open and a size change do
  EXPECT_FALSE(history_can_undo());
  history_set_limit(std::size_t(4) << 10);  // a bound drops the oldest actions first
  for (int round = 0; round < 12; round++) {
    history_begin();
    for (int i = 0; i < 16; i++) px_dot(px_cnvs, i % 4, i / 4, round, i, 0);  // no two cells alike
    history_end();
    EXPECT_LE(history_bytes(), std::size_t(4) << 10);
  }
  int undone = 0;
  while (history_undo(put)) undone++;
  EXPECT_TRUE(undone > 0 && undone < 12 && px_cnvs[0] == 11 - undone) << undone;
  history_set_limit(kHistoryDefaultLimit);
}
