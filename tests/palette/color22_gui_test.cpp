#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "support/gui.h"

using PaletteWindow = GuiTest;

TEST_F(PaletteWindow, ClickPicksTheSwatchUnderThePointerOnlyInsideTheGrid) {
  GtkWidget *area = gtk_bin_get_child(GTK_BIN(cp_main_window));
  gtk_window_resize(GTK_WINDOW(cp_main_window), 320, 520);
  for (int i = 0; i < 100 && area->allocation.height < 520; i++) pump(10);
  ASSERT_GE(area->allocation.width, 320);
  const struct { double x, y; guint button; std::vector<int> want; } cases[] = {
      {0, 0, 1, {255, 0, 0}}, {199, 439, 1, {255, 255, 255}}, {25, 130, 1, {229, 114, 0}},
      {19.9, 0, 1, {255, 0, 0}}, {20.0, 0, 1, {229, 0, 0}}, {150, 250, 3, {38, 38, 76}},
      {200, 0, 1, {1, 2, 3}}, {0, 440, 1, {1, 2, 3}}, {319, 519, 1, {1, 2, 3}}};
  for (const auto &c : cases) {
    now_rgb[0] = 1, now_rgb[1] = 2, now_rgb[2] = 3;  // kept for clicks beyond the grid
    click(area, c.x, c.y, c.button);
    EXPECT_EQ(std::vector<int>(now_rgb, now_rgb + 3), c.want) << c.x << "," << c.y;
  }
}

TEST_F(PaletteWindow, SwatchesShowTheirEntriesWithoutGaps) {
  GtkWidget *area = gtk_bin_get_child(GTK_BIN(cp_main_window));
  for (int i = 0; i < 100 && !gtk_widget_get_mapped(area); i++) pump(10);
  pump(20);  // and painted
  const int bg_blue = gtk_widget_get_style(area)->bg[GTK_STATE_NORMAL].blue >> 8;
  auto at = [&](int x, int y, int shift) { return int(pixel_at(area, x, y) >> shift & 255); };
  const guint32 centres[][3] = {{1, 6, 0xe57200}, {9, 20, 0x130c19}, {4, 21, 0x717171}};
  for (auto &e : centres)
    for (int s = 0; s <= 16; s += 8)
      EXPECT_NEAR(at(e[0] * 20 + 9, e[1] * 20 + 9, s), e[2] >> s & 255, 2) << e[0] << "," << e[1];
  // Rows 0 and 1 hold no blue: the blue they show is background, a quarter through the
  // overlapping outlines, more where swatches do not meet (or at the grid's outer edge).
  for (int p = 0; p < 199 + 39; p++)
    EXPECT_LT(p < 199 ? at(p, 10, 0) : at(10, p - 199, 0), 0.4 * bg_blue) << p;
}

TEST_F(PaletteWindow, ClosingClearsTheFlagAndPrintsTheTrace) {
  PrintCapture out;
  send_delete(cp_main_window);
  pump();
  EXPECT_EQ(out.count("color palet delete_event \n"), 1);
  EXPECT_EQ(color_paret_view_fg, 0);
}
