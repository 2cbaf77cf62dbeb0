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

void stroke(std::initializer_list<std::pair<int, int>> cells, int r, int g, int b) {
  history_begin();
  for (auto [x, y] : cells) px_dot(px_cnvs, x, y, r, g, b);
  history_end();
}
}  // namespace

TEST(History, UndoAndRedoRestoreExactBuffersEvenWhenACellIsCrossedTwice) {
  reset_editor_state(8, 8);
  const std::vector<int> start = picture();
  stroke({{1, 1}, {2, 1}, {1, 1}}, 10, 20, 30);
  px_dot(px_cnvs, 2, 1, 10, 20, 30);
  const std::vector<int> after_first = picture();
  stroke({{2, 1}, {3, 1}, {2, 1}}, 0, 0, 0);  // crosses (2, 1) twice with changes
  history_begin();
  px_dot(px_cnvs, 3, 1, 5, 5, 5);
  px_dot(px_cnvs, 3, 1, 6, 6, 6);
  history_end();
  const std::vector<int> end = picture();

  ASSERT_TRUE(history_undo());
  ASSERT_TRUE(history_undo());
  EXPECT_EQ(picture(), after_first);
  ASSERT_TRUE(history_undo());
  EXPECT_EQ(picture(), start);
  EXPECT_FALSE(history_undo());
  EXPECT_FALSE(history_can_undo());
  ASSERT_TRUE(history_redo());
  ASSERT_TRUE(history_redo());
  ASSERT_TRUE(history_redo());
  EXPECT_FALSE(history_redo());
  EXPECT_EQ(picture(), end);
}

TEST(History, ActionsThatChangeNothingAreNotKept) {
  reset_editor_state(4, 4);
  stroke({{0, 0}}, 255, 255, 255);
  stroke({}, 0, 0, 0);
  EXPECT_FALSE(history_can_undo());
}

TEST(History, NewActionAfterUndoDiscardsTheRedo) {
  reset_editor_state(4, 4);
  stroke({{0, 0}}, 1, 1, 1);
  stroke({{1, 0}}, 2, 2, 2);
  history_undo();
  EXPECT_TRUE(history_can_redo());
  stroke({{2, 0}}, 3, 3, 3);
  EXPECT_FALSE(history_can_redo());
  history_undo();
  history_undo();
  EXPECT_EQ(picture(), std::vector<int>(48, 255));
}

TEST(History, RandomActionsUndoToTheStartAndRedoToTheEnd) {
  std::mt19937 rng(11);
  reset_editor_state(16, 12);
  for (int i = 0; i < 40; i++) px_dot(px_cnvs, rng() % 16, rng() % 12, rng() % 256, 0, 7);
  history_clear();  // as after opening that picture
  const std::vector<int> opened = picture();
  for (int a = 0; a < 200; a++) {
    history_begin();
    const int n = rng() % 12;
    const int colour = rng() % 4 * 80;
    for (int i = 0; i < n; i++) px_dot(px_cnvs, rng() % 18 - 1, rng() % 14 - 1, colour, 1, 2);
    history_end();
  }
  const std::vector<int> final_picture = picture();
  while (history_undo()) {
  }
  EXPECT_EQ(picture(), opened);
  while (history_redo()) {
  }
  EXPECT_EQ(picture(), final_picture);
}

TEST(History, SaveFlagFollowsTheSavedState) {
  reset_editor_state(4, 4);
  stroke({{0, 0}}, 1, 1, 1);
  save_fg = 1;
  stroke({{1, 0}}, 2, 2, 2);
  history_mark_saved();  // saved here
  save_fg = 0;
  stroke({{2, 0}}, 3, 3, 3);
  save_fg = 1;
  px_undo();
  EXPECT_EQ(save_fg, 0);
  px_undo();
  EXPECT_EQ(save_fg, 1);
  px_redo();
  EXPECT_EQ(save_fg, 0);
  px_redo();
  EXPECT_EQ(save_fg, 1);
  // Undo back past the save, then a new action: the saved state is gone for good.
  px_undo();
  px_undo();
  stroke({{3, 3}}, 9, 9, 9);
  px_undo();
  px_redo();
  px_undo();
  EXPECT_EQ(save_fg, 1);
}

TEST(History, UndoFirstCancelsAPendingShape) {
  reset_editor_state(4, 4);
  stroke({{0, 0}}, 1, 1, 1);
  tool_box_start = 1;
  px_undo();
  EXPECT_EQ(tool_box_start, 0);
  int c[3];
  px_get_dot(px_cnvs, 0, 0, c);
  EXPECT_EQ(c[0], 1);  // the stroke is still there
  px_undo();
  px_get_dot(px_cnvs, 0, 0, c);
  EXPECT_EQ(c[0], 255);
}

TEST(History, ClearingThePictureForgetsEverything) {
  reset_editor_state(4, 4);
  stroke({{0, 0}}, 1, 1, 1);
  history_undo();
  cnvs_claer_full();
  EXPECT_FALSE(history_can_undo());
  EXPECT_FALSE(history_can_redo());
  EXPECT_TRUE(history_at_saved());
}

TEST(History, MemoryBoundDropsTheOldestActions) {
  reset_editor_state(256, 256);
  history_set_limit(std::size_t(4) << 20);
  for (int round = 0; round < 12; round++) {
    history_begin();
    for (int y = 0; y < 256; y++)
      for (int x = 0; x < 256; x++) px_dot(px_cnvs, x, y, round, 0, 0);  // a whole-canvas fill
    history_end();
    EXPECT_LE(history_bytes(), std::size_t(4) << 20);
  }
  int undone = 0;
  while (history_undo()) undone++;
  EXPECT_GT(undone, 0);
  EXPECT_LT(undone, 12);
  int c[3];
  px_get_dot(px_cnvs, 5, 5, c);
  EXPECT_EQ(c[0], 11 - undone);  // back to the oldest action still kept
  EXPECT_FALSE(history_at_saved());
  history_set_limit(kHistoryDefaultLimit);
}
