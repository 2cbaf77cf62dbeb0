#include "canvas/history.h"

#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/state.h"
#include "tools/undo.h"

namespace {
std::vector<int> picture() { return {px_cnvs, px_cnvs + 3 * mv_size_widht * mv_size_heigth}; }

void action(std::initializer_list<std::pair<int, int>> cells, int r) {
  history_begin();
  for (auto [x, y] : cells) px_dot(px_cnvs, x, y, r, r, r);
  history_end();
}
}  // namespace

// Random actions, some crossing a cell twice or changing nothing, undone to
// the start give the opened picture back, redone to the end the final one.
TEST(History, UndoAndRedoRestoreExactBuffers) {
  std::mt19937 rng(11);
  reset_editor_state(16, 12);
  for (int i = 0; i < 40; i++) px_dot(px_cnvs, rng() % 16, rng() % 12, rng() % 256, 0, 7);
  history_clear();  // as after opening that picture
  const std::vector<int> opened = picture();
  action({{1, 1}, {2, 1}, {1, 1}}, 10);
  action({{1, 1}}, 10);  // changes nothing: not kept
  for (int a = 0; a < 200; a++) {
    history_begin();
    for (int i = 0, n = rng() % 12; i < n; i++)  // colours vary so cells change twice
      px_dot(px_cnvs, rng() % 18 - 1, rng() % 5 - 1, rng() % 4 * 80, 1, 2);
    history_end();
  }
  const std::vector<int> last = picture();
  int undone = 0;
  while (history_undo()) undone++;
  EXPECT_EQ(picture(), opened);
  EXPECT_LE(undone, 201);
  while (history_redo()) {
  }
  EXPECT_EQ(picture(), last);
  history_undo();
  action({{0, 0}}, 3);  // a new action discards the redo
  EXPECT_FALSE(history_can_redo());
  cnvs_claer_full();  // as New, Open and a size change do
  EXPECT_FALSE(history_can_undo());
}

TEST(History, SaveFlagFollowsTheSavedStateAndUndoCancelsAPendingShapeFirst) {
  reset_editor_state(4, 4);
  action({{0, 0}}, 1);
  action({{1, 0}}, 2);
  history_mark_saved();
  action({{2, 0}}, 3);
  save_fg = 1;
  tool_circle_start = 1;
  px_undo();
  EXPECT_EQ(tool_circle_start, 0);
  EXPECT_EQ(save_fg, 1);  // only the pending circle went
  const std::pair<void (*)(), int> steps[] = {{px_undo, 0}, {px_undo, 1}, {px_redo, 0}, {px_redo, 1}};
  for (auto [step, want] : steps) {
    step();
    EXPECT_EQ(save_fg, want);
  }
  action({{3, 3}}, 9);  // the saved state can no longer be reached
  px_undo();
  px_undo();
  px_redo();
  EXPECT_EQ(save_fg, 1);
}

TEST(History, MemoryBoundDropsTheOldestActions) {
  reset_editor_state(256, 256);
  history_set_limit(std::size_t(4) << 20);
  for (int round = 0; round < 12; round++) {
    history_begin();
    for (int y = 0; y < 256; y++)
      for (int x = 0; x < 256; x++) px_dot(px_cnvs, x, y, round, x, y);  // no two cells alike
    history_end();
    EXPECT_LE(history_bytes(), std::size_t(4) << 20);
  }
  int undone = 0;
  while (history_undo()) undone++;
  EXPECT_GT(undone, 0);
  EXPECT_LT(undone, 12);
  EXPECT_EQ(px_cnvs[0], 11 - undone);  // back to before the oldest action kept
  EXPECT_FALSE(history_at_saved());
  history_set_limit(kHistoryDefaultLimit);
}
