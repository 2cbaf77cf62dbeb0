#include "base/globals.h"
#include "support/gui.h"

using Palette = GuiTest;

// The 220 colours: columns 0 to 9 by level (h from 127, H from 127.5), rows of three levels; g is grey.
TEST_F(Palette, DefaultColoursSwatchesClicksAndClosing) {
  SKIP_UNLESS_24_BIT();
  std::map<char, std::array<int, 10>> level{{'F', {255, 229, 204, 178, 153, 127, 102, 76, 51, 25}},
      {'T', {191, 172, 153, 133, 114, 95, 76, 57, 38, 19}}, {'H', {127, 114, 102, 89, 76, 63, 51, 38, 25, 12}},
      {'h', {127, 114, 101, 88, 76, 63, 50, 38, 25, 12}}, {'0', {}}, {'g', {0, 28, 56, 84, 113, 141, 169, 198, 226, 255}}};
  const std::string rows = "F00 0F0 00F FF0 0FF F0F Fh0 hF0 0Fh 0hF F0h h0F hhF Fhh hFh FTH TFH HTF FHT HFT THF ggg";
  GtkWidget *area = gtk_bin_get_child(GTK_BIN(cp_main_window));
  gtk_window_resize(GTK_WINDOW(cp_main_window), 320, 520);  // room beyond the grid
  for (int i = 0; i < 100 && area->allocation.height < 520; i++) pump(10);
  pump(20);
  for (int i = 0; i < 660; i++) {  // int i of the table: entry i / 3, row by row; swatches of 20 x 20
    const int want = level[rows[i / 30 * 4 + i % 3]][i / 3 % 10];
    const int shown = pixel_at(area, i / 3 % 10 * 20 + 9, i / 30 * 20 + 9) >> (16 - i % 3 * 8) & 255;
    EXPECT_TRUE(pl_main[i] == want && std::abs(shown - want) <= 2) << "entry " << i / 3 << ": " << pl_main[i] << ", " << shown;
  }
  for (auto [x, y, button, want] : {std::tuple(0.0, 0.0, 1u, 0xff0000), {199, 439, 1, 0xffffff}, {25, 130, 1, 0xe57200},
                                    {150, 250, 3, 0x26264c}, {19.9, 0, 1, 0xff0000}, {20, 0, 1, 0xe50000}, {200, 0, 1, 0x010203}, {0, 440, 1, 0x010203}}) {
    now_rgb[0] = 1, now_rgb[1] = 2, now_rgb[2] = 3, click(area, x, y, button);  // kept by clicks beyond the grid
    EXPECT_EQ(now_rgb[0] << 16 | now_rgb[1] << 8 | now_rgb[2], want) << x << ',' << y;
  }
  PrintCapture out;
  send_delete(cp_main_window);
  EXPECT_EQ(std::pair(out.text(), color_paret_view_fg), std::pair(std::string("color palet delete_event \n"), 0));
}
