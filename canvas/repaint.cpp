#include "canvas/repaint.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include <gtk/gtk.h>

#include "base/colour.h"
#include "base/globals.h"
#include "canvas/cells.h"
#include "canvas/view.h"

void px_clear_canvas_window() { view_clear(); }

void px_size_canvas_area() {
  if (drawing_area)
    gtk_widget_set_size_request(drawing_area, dot_size * mv_size_widht, dot_size * mv_size_heigth);
}

void px_get_now_adjustment() {
  if (!g_scroll_window || !window) return;
  GtkScrolledWindow *sw = GTK_SCROLLED_WINDOW(g_scroll_window);
  const double h = gtk_adjustment_get_value(gtk_scrolled_window_get_hadjustment(sw));
  const double v = gtk_adjustment_get_value(gtk_scrolled_window_get_vadjustment(sw));
  now_window_left = static_cast<int>(h) / dot_size;
  now_window_top = static_cast<int>(v) / dot_size;
  int w = 0, hgt = 0;
  gtk_window_get_size(GTK_WINDOW(window), &w, &hgt);
  now_window_right = (w - kWindowExtraWidth) / dot_size + now_window_left;
  now_window_bottom = (hgt - kWindowExtraHeight) / dot_size + now_window_top;
}

void px_draw_full() {
  px_get_now_adjustment();
  if (!px_cnvs) return;
  ViewBatch batch;
  // Repainting stores each cell's colour again, which changes nothing; only
  // the cells shown and able to reach what may be painted need a visit.
  int x0, y0, x1, y1;
  if (!view_reachable_cells(&x0, &y0, &x1, &y1)) return;
  x0 = std::max({x0, 0, now_window_left});
  x1 = std::min({x1, mv_size_widht - 1, now_window_right});
  y0 = std::max({y0, 0, now_window_top});
  y1 = std::min({y1, mv_size_heigth - 1, now_window_bottom});
  for (int y = y0; y <= y1; y++) view_row(y, x0, x1, px_cnvs + 3 * (x0 + y * mv_size_widht), true);
}

void px_draw_repaint() {
  int left, top, right, bottom;
  // Only cells written with a colour since the overlay was emptied can hold
  // a preview.
  if (!px_cnvs || !px_cnvs_vtl || !cells_overlay_bounds(&left, &top, &right, &bottom)) return;
  ViewBatch batch;
  // Cell by cell in rows from the top, as a walk over the canvas meets them.
  auto restore = [](std::size_t cell) {
    int *v = px_cnvs_vtl + 3 * cell;
    if (px_is_white(v)) return;
    const int *c = px_cnvs + 3 * cell;
    if (!px_same_rgb(v, c))
      px_dot(px_cnvs, cell % mv_size_widht, cell / mv_size_widht, c[0], c[1], c[2]);
    v[0] = v[1] = v[2] = 255;
  };
  if (const std::vector<std::uint32_t> *listed = cells_overlay_list()) {
    std::vector<std::uint32_t> cells(*listed);
    std::sort(cells.begin(), cells.end());
    for (std::uint32_t cell : cells) restore(cell);
  } else {
    for (int y = top; y <= bottom; y++)
      for (int x = left; x <= right; x++) restore(x + std::size_t(y) * mv_size_widht);
  }
  cells_overlay_forget();
}
