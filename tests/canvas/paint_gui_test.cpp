// What the canvas shows must be what drawing each painted cell with its own
// cairo context and eight strokes shows, the way the screen was once
// painted: the same strokes, the same order, the same pixels.
#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "canvas/cells.h"
#include "canvas/paint.h"
#include "canvas/view.h"
#include "support/gui.h"

namespace {
using Cell = std::tuple<int, int, int, int, int>;  // x, y, r, g, b
std::vector<Cell> painted;
void observe(int x, int y, int r, int g, int b) { painted.emplace_back(x, y, r, g, b); }

GdkWindow *canvas() { return gtk_widget_get_window(drawing_area); }

// The part of the drawing area inside the viewport.
GdkRectangle shown() {
  GtkScrolledWindow *sw = GTK_SCROLLED_WINDOW(g_scroll_window);
  GtkAdjustment *h = gtk_scrolled_window_get_hadjustment(sw);
  GtkAdjustment *v = gtk_scrolled_window_get_vadjustment(sw);
  GtkAllocation a;
  gtk_widget_get_allocation(drawing_area, &a);
  GdkRectangle r = {int(gtk_adjustment_get_value(h)), int(gtk_adjustment_get_value(v)),
                    int(gtk_adjustment_get_page_size(h)), int(gtk_adjustment_get_page_size(v))};
  r.width = std::min(r.width, a.width - r.x);
  r.height = std::min(r.height, a.height - r.y);
  return r;
}

using Shot = std::shared_ptr<GdkPixbuf>;
Shot shot(const GdkRectangle &r) {
  pump();
  return Shot(read_pixels(drawing_area, r.x, r.y, r.width, r.height), g_object_unref);
}
void put(const Shot &s, const GdkRectangle &r) {
  gdk_draw_pixbuf(canvas(), nullptr, s.get(), 0, 0, r.x, r.y, r.width, r.height,
                  GDK_RGB_DITHER_NONE, 0, 0);
}

// Painting as it once was done, straight on the window, clipped to `clip`.
void slow_paint(const std::vector<Cell> &cells, const GdkRectangle *clip = nullptr) {
  for (auto [x, y, r, g, b] : cells) {
    CairoPtr cr = cairo_for(drawing_area);
    if (clip) {
      cairo_rectangle(cr.get(), clip->x, clip->y, clip->width, clip->height);
      cairo_clip(cr.get());
    }
    px_draw_box(cr.get(), x * dot_size, y * dot_size, (x + 1) * dot_size - 1,
                (y + 1) * dot_size - 1, r, g, b);
  }
}

// An exposure as it was: the background, then every shown non-white cell.
void slow_expose(const GdkRectangle &area) {
  gdk_window_clear_area(canvas(), area.x, area.y, area.width, area.height);
  px_get_now_adjustment();
  std::vector<Cell> cells;
  for (int y = std::max(0, now_window_top); y <= std::min(mv_size_heigth - 1, now_window_bottom); y++)
    for (int x = std::max(0, now_window_left); x <= std::min(mv_size_widht - 1, now_window_right); x++) {
      const int *c = px_cnvs + 3 * (x + y * mv_size_widht);
      if (!px_is_white(c)) cells.emplace_back(x, y, c[0], c[1], c[2]);
    }
  slow_paint(cells, &area);
}

void expect_same(const char *what, const Shot &fast, const Shot &slow) {
  const int n = gdk_pixbuf_get_rowstride(fast.get()) * gdk_pixbuf_get_height(fast.get());
  const guchar *a = gdk_pixbuf_get_pixels(fast.get()), *b = gdk_pixbuf_get_pixels(slow.get());
  int worst = 0, differing = 0;
  for (int i = 0; i < n; i++) {
    worst = std::max(worst, std::abs(a[i] - b[i]));
    differing += a[i] != b[i];
  }
  EXPECT_EQ(worst, 0) << what << ": " << differing << " channels differ";
}

// Runs `action`, then paints the old way from the screen it started from
// with `slow`, and compares.
void check(const char *what, const std::function<void()> &action,
           const std::function<void()> &slow = [] { slow_paint(painted); }) {
  const GdkRectangle r = shown();
  const Shot before = shot(r);
  painted.clear();
  action();
  const Shot fast = shot(r);
  put(before, r);
  slow();
  expect_same(what, fast, shot(r));
  put(fast, r);
}

// The shown cells a fill from (x, y) paints, in the order of a scanline
// fill that writes cell by cell: runs taken from a stack, and along a run a
// stretch above pushed before a stretch below that starts at the same cell.
std::vector<Cell> fill_order(std::vector<int> pic, int x, int y, int r, int g, int b) {
  auto at = [&](int cx, int cy) {
    return cx < 0 || cy < 0 || cx >= mv_size_widht || cy >= mv_size_heigth
               ? nullptr : &pic[3 * (cx + cy * mv_size_widht)];
  };
  const std::vector<int> t(at(x, y), at(x, y) + 3);
  auto target = [&](int cx, int cy) { return at(cx, cy) && std::equal(t.begin(), t.end(), at(cx, cy)); };
  std::vector<std::pair<int, int>> stack{{x, y}};
  std::vector<Cell> order;
  px_get_now_adjustment();
  while (!stack.empty()) {
    auto [cx, cy] = stack.back();
    stack.pop_back();
    bool up = false, down = false;
    while (target(cx, cy)) cx--;
    for (cx++; target(cx, cy); cx++) {
      if (target(cx, cy - 1) && !up) stack.emplace_back(cx, cy - 1);
      up = target(cx, cy - 1);
      if (target(cx, cy + 1) && !down) stack.emplace_back(cx, cy + 1);
      down = target(cx, cy + 1);
      int *c = at(cx, cy);
      c[0] = r, c[1] = g, c[2] = b;
      if (cx >= now_window_left && cx <= now_window_right && cy >= now_window_top && cy <= now_window_bottom)
        order.emplace_back(cx, cy, r, g, b);
    }
  }
  return order;
}
}  // namespace

using Painting = GuiTest;

TEST_F(Painting, ScreenIsWhatCellByCellStrokesShowAtEveryScale) {
  gtk_widget_destroy(tool_bar_window);  // nothing may cover the canvas
  gtk_widget_destroy(cp_main_window);
  view_set_observer(observe);
  std::mt19937 rng(5);
  constexpr int W = 260, H = 200;
  for (int scale : {2, 3, 5, 10}) {
    SCOPED_TRACE(scale);
    cnvs_allocate(W, H, true, "error");
    for (int i = 0; i < W * H; i++)
      if (rng() % 3) std::generate_n(px_cnvs + 3 * i, 3, [&] { return int(rng() % 256); });
    for (int y = 8; y < 30; y++)  // a region for the fill, with holes
      for (int x = 6; x < 40; x++)
        if ((x * 7 + y * 3) % 11) std::fill_n(px_cnvs + 3 * (x + y * W), 3, 90);
    dot_size = scale;
    gtk_widget_destroy(window);
    crate_main_window();
    gtk_window_resize(GTK_WINDOW(window), 420, 360);
    for (int i = 0; i < 100 && !gtk_widget_get_mapped(drawing_area); i++) pump(10);
    pump(50);
    GtkScrolledWindow *sw = GTK_SCROLLED_WINDOW(g_scroll_window);
    gtk_adjustment_set_value(gtk_scrolled_window_get_hadjustment(sw), 3 * scale + 1);
    gtk_adjustment_set_value(gtk_scrolled_window_get_vadjustment(sw), 2 * scale + 1);
    pump(20);

    const GdkRectangle all = shown();
    check("exposure", [] { gdk_window_invalidate_rect(canvas(), nullptr, FALSE); },
          [&] { slow_expose(all); });
    const GdkRectangle part = {all.x + 13, all.y + 17, 97, 61};
    check("partial exposure", [&] { gdk_window_invalidate_rect(canvas(), &part, FALSE); },
          [&] { slow_expose(part); });

    for (GdkScrollDirection wheel : {GDK_SCROLL_DOWN, GDK_SCROLL_RIGHT}) {
      // A wheel step moves what stays shown and paints the strip that comes in.
      const GdkRectangle old = shown();
      const Shot before = shot(old);
      send_scroll(drawing_area, wheel);
      const GdkRectangle now = shown();
      ASSERT_TRUE(now.x >= old.x && now.y >= old.y && now.x + now.y > old.x + old.y);
      const Shot fast = shot(now);
      put(before, old);
      if (now.x > old.x)
        slow_expose({old.x + old.width, now.y, now.x - old.x, now.height});
      else
        slow_expose({now.x, old.y + old.height, now.width, now.y - old.y});
      expect_same("scroll", fast, shot(now));
      put(fast, now);
    }

    check("periodic repaint", [] {
      tz = 0;
      for (int i = 0; i < 602; i++) send_motion(drawing_area, now_window_left * dot_size + 5, now_window_top * dot_size + 5);
      EXPECT_GT(painted.size(), 1000u);
    }, [] { slow_paint(painted); });

    now_tool = 1;
    const int dx = now_window_left + 3, dy = now_window_top + 2;
    check("right button dot", [&] { click(drawing_area, dx * scale + 1, dy * scale + 1, 3); });
    EXPECT_EQ(painted, (std::vector<Cell>{{dx, dy, 255, 255, 255}}));

    const std::vector<int> unfilled(px_cnvs, px_cnvs + 3 * W * H);
    now_tool = 7;
    now_rgb[0] = 10, now_rgb[1] = 200, now_rgb[2] = 60;
    check("fill", [] { click(drawing_area, 20 * dot_size + 1, 20 * dot_size + 1); });
    EXPECT_EQ(painted, fill_order(unfilled, 20, 20, 10, 200, 60));

    now_tool = 6;
    const int cx = now_window_left + 12, cy = now_window_top + 10;
    click(drawing_area, cx * scale + 1, cy * scale + 1);
    for (auto [mx, my] : {std::pair{cx + 7, cy + 4}, {cx + 3, cy + 9}}) {
      check("shape preview and erasure", [&] { send_motion(drawing_area, mx * scale + 1, my * scale + 1); });
      EXPECT_FALSE(painted.empty());
    }
    click(drawing_area, cx * scale + 1, cy * scale + 1, 3);  // cancelled: the next motion erases
    check("erasure", [&] { send_motion(drawing_area, (cx + 1) * scale + 1, cy * scale + 1); });
    EXPECT_FALSE(painted.empty());
  }
  view_set_observer(nullptr);
}
