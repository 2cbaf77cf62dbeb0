// The full repaint and the preview erase visit only the cells that can
// change; they must paint exactly what walking the whole canvas paints.
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "canvas/paint.h"
#include "support/gui.h"

namespace {
// Both walks over every cell, as the repaints did before they were narrowed.
void reference_full() {
  for (int i = 0, *c = px_cnvs; i < mv_size_widht * mv_size_heigth; i++, c += 3)
    if (!px_is_white(c)) px_dot(px_cnvs, i % mv_size_widht, i / mv_size_widht, c[0], c[1], c[2]);
}

void reference_repaint() {
  for (int i = 0, *v = px_cnvs_vtl, *c = px_cnvs; i < mv_size_widht * mv_size_heigth; i++, v += 3, c += 3) {
    if (px_is_white(v)) continue;
    if (std::memcmp(v, c, 3 * sizeof(int)))
      px_dot(px_cnvs, i % mv_size_widht, i / mv_size_widht, c[0], c[1], c[2]);
    v[0] = v[1] = v[2] = 255;
  }
  cells_overlay_forget();
}

// The visible part of the canvas after `paint` ran on a cleared window, with
// a random preview, some of it equal to the picture, written first if asked.
std::vector<guchar> screen_after(void (*paint)(), bool preview) {
  pump(20);  // no exposure may paint over what is compared
  px_clear_canvas_window();
  px_draw_full();
  std::mt19937 rng(3);
  for (int i = 0; preview && i < 400; i++) {
    const int x = 20 + rng() % 80, y = 15 + rng() % 70, *c = px_cnvs + 3 * (x + y * 200);
    px_dot(px_cnvs_vtl, x, y, rng() % 4 ? int(rng() % 256) : c[0], c[1], c[2]);
  }
  paint();
  GdkPixbuf *pb = read_pixels(drawing_area, 200, 150, 400, 400);
  const guchar *p = gdk_pixbuf_get_pixels(pb);
  std::vector<guchar> px(p, p + gdk_pixbuf_get_rowstride(pb) * 400);
  g_object_unref(pb);
  return px;
}
}  // namespace

using FastPaint = GuiTest;

TEST_F(FastPaint, PaintsTheSameCellsAsAWalkOverTheWholeCanvas) {
  gtk_widget_destroy(tool_bar_window);  // nothing may cover the canvas
  gtk_widget_destroy(cp_main_window);
  cnvs_allocate(200, 150, true, "error");
  std::mt19937 rng(1);
  for (int i = 0; i < 200 * 150; i++)
    if (rng() % 3) px_cnvs[3 * i] = rng() % 256;
  gtk_widget_set_size_request(drawing_area, 2000, 1500);
  pump(20);
  GtkScrolledWindow *sw = GTK_SCROLLED_WINDOW(g_scroll_window);
  gtk_adjustment_set_value(gtk_scrolled_window_get_hadjustment(sw), 200);
  gtk_adjustment_set_value(gtk_scrolled_window_get_vadjustment(sw), 150);
  const std::vector<guchar> full = screen_after(px_draw_full, false);
  EXPECT_EQ(full, screen_after(reference_full, false));
  const std::vector<int> before(px_cnvs, px_cnvs + 3 * 200 * 150);
  const std::vector<guchar> fast = screen_after(px_draw_repaint, true);
  EXPECT_EQ(std::vector<int>(px_cnvs_vtl, px_cnvs_vtl + before.size()), std::vector<int>(before.size(), 255));
  EXPECT_EQ(std::vector<int>(px_cnvs, px_cnvs + before.size()), before);
  EXPECT_EQ(fast, screen_after(reference_repaint, true));
}
