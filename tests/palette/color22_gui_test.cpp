#include <gtest/gtest.h>

#include "app/globals.h"
#include "support/gui.h"

using PaletteWindow = GuiTest;

TEST_F(PaletteWindow, SwatchesClicksAndClosing) {
  GtkWidget *area = gtk_bin_get_child(GTK_BIN(cp_main_window));
  gtk_window_resize(GTK_WINDOW(cp_main_window), 320, 520);  // room beyond the grid
  for (int i = 0; i < 100 && area->allocation.height < 520; i++) pump(10);
  pump(20);  // painted
  auto at = [&](int x, int y, int shift) { return int(pixel_at(area, x, y) >> shift & 255); };
  const guint32 centres[][3] = {{1, 6, 0xe57200}, {9, 20, 0x130c19}, {4, 21, 0x717171}};
  for (auto &e : centres)
    for (int s = 0; s <= 16; s += 8)
      EXPECT_NEAR(at(e[0] * 20 + 9, e[1] * 20 + 9, s), e[2] >> s & 255, 2) << e[0] << "," << e[1];
  // Rows 0 and 1 hold no blue: any is background, a quarter through where outlines meet.
  const int bg_blue = gtk_widget_get_style(area)->bg[GTK_STATE_NORMAL].blue >> 8;
  for (int p = 0; p < 199 + 39; p++)  // along row 0, then down column 0
    EXPECT_LT(p < 199 ? at(p, 10, 0) : at(10, p - 199, 0), 0.4 * bg_blue) << p;
  const struct { double x, y; guint button; int want; } clicks[] = {
      {0, 0, 1, 0xff0000}, {199, 439, 1, 0xffffff}, {25, 130, 1, 0xe57200}, {150, 250, 3, 0x26264c},
      {19.9, 0, 1, 0xff0000}, {20.0, 0, 1, 0xe50000}, {200, 0, 1, 0x010203}, {0, 440, 1, 0x010203}};
  for (const auto &c : clicks) {
    now_rgb[0] = 1, now_rgb[1] = 2, now_rgb[2] = 3;  // kept by clicks beyond the grid
    click(area, c.x, c.y, c.button);
    EXPECT_EQ(now_rgb[0] << 16 | now_rgb[1] << 8 | now_rgb[2], c.want) << c.x << ',' << c.y;
  }
  PrintCapture out;
  send_delete(cp_main_window);
  EXPECT_EQ(std::pair(out.text(), color_paret_view_fg),
            std::pair(std::string("color palet delete_event \n"), 0));
}
