// What the canvas shows must be what drawing each painted cell with a cairo
// context and eight strokes of its own shows: the same pixels.
#include <gdk/gdkkeysyms.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "app/file_commands.h"
#include "app/load_save.h"
#include "app/main_window.h"
#include "base/colour.h"
#include "base/drawing.h"
#include "base/globals.h"
#include "canvas/cells.h"
#include "canvas/repaint.h"
#include "canvas/view.h"
#include "support/gui.h"

namespace {
using Cell = std::tuple<int, int, int, int, int>;  // x, y, r, g, b
std::vector<Cell> painted;
GdkWindow *canvas() { return gtk_widget_get_window(drawing_area); }

GdkRectangle shown() {  // the part of the drawing area inside the viewport
  GtkScrolledWindow *sw = GTK_SCROLLED_WINDOW(g_scroll_window);
  GtkAdjustment *h = gtk_scrolled_window_get_hadjustment(sw), *v = gtk_scrolled_window_get_vadjustment(sw);
  return {int(h->value), int(v->value), int(h->page_size), int(v->page_size)};
}
using Shot = std::shared_ptr<GdkPixbuf>;
Shot shot(GdkRectangle r) { return pump(), Shot(read_pixels(drawing_area, r.x, r.y, r.width, r.height), g_object_unref); }
void put(const Shot &s, GdkRectangle r) {
  gdk_draw_pixbuf(canvas(), nullptr, s.get(), 0, 0, r.x, r.y, r.width, r.height, GDK_RGB_DITHER_NONE, 0, 0);
}

// One cell as four white strokes 1.8 wide, then four 1.5 wide in its
// colour (c / 256), each from a corner to just past the next one.
void px_draw_box(cairo_t *cr, double x1, double y1, double x2, double y2, int r, int g, int b) {
  const double k = 0.5219, strokes[4][4] = {
      {x1, y1, x2 + k, y1 + k}, {x2, y1, x2 + k, y2 + k}, {x2, y2, x1 + k, y2 + k}, {x1, y2, x1 + k, y1 + k}};
  const double passes[2][4] = {{1.8, 1, 1, 1}, {1.5, r / 256.0, g / 256.0, b / 256.0}};
  for (const double *p : passes) {
    for (const double *s : strokes) cairo_move_to(cr, s[0], s[1]), cairo_line_to(cr, s[2], s[3]);
    cairo_set_line_width(cr, p[0]), cairo_set_source_rgb(cr, p[1], p[2], p[3]), cairo_stroke(cr);
  }
}

// Painting as it once was done, straight on the window, clipped to `clip`.
void slow_paint(const std::vector<Cell> &cells, const GdkRectangle *clip = nullptr) {
  for (auto [x, y, r, g, b] : cells) {
    CairoPtr cr = cairo_for(drawing_area);
    if (clip) cairo_rectangle(cr.get(), clip->x, clip->y, clip->width, clip->height), cairo_clip(cr.get());
    px_draw_box(cr.get(), x * dot_size, y * dot_size, (x + 1) * dot_size - 1, (y + 1) * dot_size - 1, r, g, b);
  }
}
// The cells shown (or all), row by row, whose overlay (o) and picture (c)
// colours pass `paint`, in the picture's colour.
std::vector<Cell> shown_cells(bool (*paint)(const int *o, const int *c), bool all = false) {
  px_get_now_adjustment();
  std::vector<Cell> cells;
  for (int y = all ? 0 : std::max(0, now_window_top); y <= std::min(mv_size_heigth - 1, all ? 1 << 20 : now_window_bottom); y++)
    for (int x = all ? 0 : std::max(0, now_window_left); x <= std::min(mv_size_widht - 1, all ? 1 << 20 : now_window_right); x++)
      if (const int i = 3 * (x + y * mv_size_widht); paint(px_cnvs_vtl + i, px_cnvs + i))
        cells.emplace_back(x, y, px_cnvs[i], px_cnvs[i + 1], px_cnvs[i + 2]);
  return cells;
}
bool coloured(const int *, const int *c) { return !px_is_white(c); }

// An exposure as it was: the background, then every shown non-white cell.
void slow_expose(GdkRectangle area) {
  gdk_window_clear_area(canvas(), area.x, area.y, area.width, area.height);
  slow_paint(shown_cells(coloured), &area);
}

// Runs `action`, then paints the old way from the screen it started from, and
// compares: every channel of every shown pixel must be the same.
void check(const char *what, const std::function<void()> &action,
           const std::function<void()> &slow = [] { slow_paint(painted); }) {
  const GdkRectangle r = shown();
  const Shot before = shot(r);
  painted.clear();
  action();
  const Shot fast = shot(r);
  put(before, r), slow();
  const Shot old_way = shot(r);
  const guchar *a = gdk_pixbuf_get_pixels(fast.get()), *b = gdk_pixbuf_get_pixels(old_way.get());
  int differing = 0;
  for (int i = 0; i < gdk_pixbuf_get_rowstride(fast.get()) * r.height; i++) differing += a[i] != b[i];
  EXPECT_EQ(differing, 0) << what;
  put(fast, r);
}

// The shown cells a scanline fill paints, in order: runs from a stack, a
// stretch above pushed before a stretch below that starts at the same cell.
std::vector<Cell> fill_order(std::vector<int> pic, int x, int y, int r, int g, int b) {
  auto at = [&](int cx, int cy) {
    return cx < 0 || cy < 0 || cx >= mv_size_widht || cy >= mv_size_heigth ? nullptr : &pic[3 * (cx + cy * mv_size_widht)];
  };
  const std::vector<int> t(at(x, y), at(x, y) + 3);
  auto target = [&](int cx, int cy) { return at(cx, cy) && std::equal(t.begin(), t.end(), at(cx, cy)); };
  std::vector<std::pair<int, int>> stack{{x, y}};
  std::vector<Cell> order;
  while (!stack.empty()) {
    auto [cx, cy] = stack.back();
    stack.pop_back();
    bool up = false, down = false;
    while (target(cx, cy)) cx--;
    for (cx++; target(cx, cy); cx++) {
      if (target(cx, cy - 1) && !up) stack.emplace_back(cx, cy - 1);
      if (target(cx, cy + 1) && !down) stack.emplace_back(cx, cy + 1);
      up = target(cx, cy - 1), down = target(cx, cy + 1);
      std::copy_n(std::vector<int>{r, g, b}.begin(), 3, at(cx, cy));
      if (cx >= now_window_left && cx <= now_window_right && cy >= now_window_top && cy <= now_window_bottom)
        order.emplace_back(cx, cy, r, g, b);
    }
  }
  return order;
}
}  // namespace

using Painting = GuiTest;

TEST_F(Painting, ScreenIsWhatCellByCellStrokesShowAtEveryScale) {
  SKIP_UNLESS_24_BIT();
  gtk_widget_destroy(tool_bar_window);  // nothing may cover the canvas
  gtk_widget_destroy(cp_main_window);
  view_set_observer([](int x, int y, int r, int g, int b) { painted.emplace_back(x, y, r, g, b); });
  std::mt19937 rng(5);
  constexpr int W = 260, H = 200;
  for (int scale : {2, 3, 5, 10}) {
    SCOPED_TRACE(scale);
    cnvs_allocate(W, H, true, "error");
    for (int i = 0; i < W * H; i++)
      if (rng() % 3) std::generate_n(px_cnvs + 3 * i, 3, [&] { return int(rng() % 256); });
    dot_size = scale;
    gtk_widget_destroy(window), crate_main_window();
    gtk_window_resize(GTK_WINDOW(window), 420, 360);
    for (int i = 0; i < 100 && !gtk_widget_get_mapped(drawing_area); i++) pump(10);
    pump(50);
    GtkScrolledWindow *sw = GTK_SCROLLED_WINDOW(g_scroll_window);
    gtk_adjustment_set_value(gtk_scrolled_window_get_hadjustment(sw), 3 * scale + 1);
    gtk_adjustment_set_value(gtk_scrolled_window_get_vadjustment(sw), 2 * scale + 1);
    pump(20);
    const GdkRectangle all = shown(), part = {all.x + 13, all.y + 17, 97, 61};
    check("exposure", [] { gdk_window_invalidate_rect(canvas(), nullptr, FALSE); }, [&] { slow_expose(all); });
    check("part exposed", [&] { gdk_window_invalidate_rect(canvas(), &part, FALSE); }, [&] { slow_expose(part); });
    for (GdkScrollDirection wheel : {GDK_SCROLL_DOWN, GDK_SCROLL_RIGHT}) {
      // What stays shown moves along; the strip that comes in is exposed.
      const GdkRectangle old = shown();
      const Shot before = shot(old);
      send_scroll(drawing_area, wheel);
      const GdkRectangle now = shown();
      ASSERT_GT(now.x + now.y, old.x + old.y);
      const Shot fast = shot(now);
      put(before, old);
      slow_expose(now.x > old.x ? GdkRectangle{old.x + old.width, now.y, now.x - old.x, now.height}
                                : GdkRectangle{now.x, old.y + old.height, now.width, now.y - old.y});
      EXPECT_EQ(memcmp(gdk_pixbuf_get_pixels(fast.get()), gdk_pixbuf_get_pixels(shot(now).get()), now.height * gdk_pixbuf_get_rowstride(fast.get())), 0);
      put(fast, now);
    }
    bool early = false;  // a repaint before the 602nd motion
    check("periodic repaint", [&] {
      tz = 0;
      for (int i = 1; i <= 602; i++) {
        send_motion(drawing_area, now_window_left * dot_size + 5, now_window_top * dot_size + 5);
        early = early || (i < 602 && !painted.empty());
      }
    });
    EXPECT_FALSE(early);
    // Every shown coloured cell on the viewport, and others only in their turn.
    const std::set<Cell> seen(painted.begin(), painted.end());
    const GdkRectangle v = shown();
    std::vector<Cell> due;
    for (const Cell &c : shown_cells(coloured, true))
      if (const int x = std::get<0>(c) * scale, y = std::get<1>(c) * scale;
          seen.count(c) || (x < v.x + v.width && y < v.y + v.height && x + scale > v.x && y + scale > v.y))
        due.push_back(c);
    EXPECT_EQ(painted, due);
    now_tool = 1;  // in the first column and row shown, which show in part
    const int dx = now_window_left, dy = now_window_top;
    std::fill_n(px_cnvs + 3 * (dx + dy * W), 3, 7);
    check("right button dot", [&] { click(drawing_area, (dx + 1) * scale - 1, (dy + 1) * scale - 1, 3); });
    EXPECT_EQ(painted, (std::vector<Cell>{{dx, dy, 255, 255, 255}}));
    const int cx = now_window_left + 16, cy = now_window_top + 12;
    for (int y = cy - 12; y < cy + 12; y++)  // a region for the fill from the first row and column shown, with holes
      for (int x = cx - 16; x < cx + 20; x++)
        if ((x * 7 + y * 3) % 11 || (x == cx && y == cy)) std::fill_n(px_cnvs + 3 * (x + y * W), 3, 90);
    const std::vector<int> unfilled(px_cnvs, px_cnvs + 3 * W * H);
    now_tool = 7, now_rgb[0] = 10, now_rgb[1] = 200, now_rgb[2] = 60;
    check("fill", [&] { click(drawing_area, cx * dot_size + 1, cy * dot_size + 1); });
    EXPECT_EQ(painted, fill_order(unfilled, cx, cy, 10, 200, 60));
    send_key(window, GDK_KEY_z, GDK_CONTROL_MASK);  // the fill is one action
    EXPECT_TRUE(std::equal(unfilled.begin(), unfilled.end(), px_cnvs));
    send_key(window, GDK_KEY_z, GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK));
    const std::vector<int> filled(px_cnvs, px_cnvs + 3 * W * H);
    now_rgb[0] = now_rgb[1] = now_rgb[2] = 255;  // white is shown too
    check("white fill", [&] { click(drawing_area, cx * dot_size + 1, cy * dot_size + 1); });
    EXPECT_EQ(painted, fill_order(filled, cx, cy, 255, 255, 255));
    send_key(window, GDK_KEY_z, GDK_CONTROL_MASK);
    now_tool = 6, now_rgb[0] = 10, now_rgb[1] = 0, now_rgb[2] = 60;  // previews whose red is the filled cells' red
    click(drawing_area, cx * scale + 1, cy * scale + 1);
    for (auto [mx, my, button] : {std::tuple{cx + 7, cy + 4, 0}, {cx + 3, cy + 9, 3}, {cx + 1, cy, 0}}) {
      // First the picture's colour where the last preview differs from it.
      const std::vector<Cell> erased = shown_cells([](const int *o, const int *c) {
        return !px_is_white(o) && !std::equal(o, o + 3, c);
      });
      check("preview and erasure", [&] { send_motion(drawing_area, mx * scale + 1, my * scale + 1); });
      EXPECT_TRUE(painted.size() >= erased.size() && std::equal(erased.begin(), erased.end(), painted.begin()));
      if (button) click(drawing_area, cx * scale + 1, cy * scale + 1, button);  // cancelled: erased next
    }
  }
  cnvs_allocate(70, 20, true, "error");  // shown to its last row, and up to the window's edge
  for (int i = 0; i < 70 * 20; i++) std::generate_n(px_cnvs + 3 * i, 3, [&] { return int(rng() % 256); });
  px_size_canvas_area(), pump(50);
  GtkScrolledWindow *sw = GTK_SCROLLED_WINDOW(g_scroll_window);
  GtkAdjustment *h = gtk_scrolled_window_get_hadjustment(sw);
  gtk_adjustment_set_value(h, 0), pump(20);
  const GdkRectangle left = shown();
  check("small canvas from its left end", [] { gdk_window_invalidate_rect(canvas(), nullptr, FALSE); }, [&] { slow_expose(left); });
  gtk_adjustment_set_value(h, h->upper - h->page_size), pump(20);  // the right end
  const GdkRectangle whole = shown();
  check("small canvas", [] { gdk_window_invalidate_rect(canvas(), nullptr, FALSE); }, [&] { slow_expose(whole); });
  now_tool = 1;
  check("dot in the last column of the visible window", [] { click(drawing_area, now_window_right * 10 + 1, 31, 3); });
  EXPECT_EQ(painted, (std::vector<Cell>{{now_window_right, 3, 255, 255, 255}}));
  std::fill(px_cnvs + 3 * 70 * 6, px_cnvs + 3 * 70 * 20, 255);  // white from row 6 down
  now_tool = 7, now_rgb[0] = 254, now_rgb[1] = now_rgb[2] = 255;  // white but for one channel
  const std::vector<int> unfilled(px_cnvs, px_cnvs + 3 * 70 * 20);
  check("fill to the last column", [] { click(drawing_area, now_window_right * 10 + 1, 151); });
  EXPECT_EQ(painted, fill_order(unfilled, now_window_right, 15, 254, 255, 255));
  // Opened, or made new, at the same size: what the old picture showed is gone.
  const std::string doc = make_scratch_dir("same") + "/d.koma";
  write_file(doc, "koma1.0\n70 x 20\n" + whites(70 * 19) + "1,2,3\n");
  check("opened at the same size", [&] { px_open(doc.c_str()); }, [&] { slow_expose(whole); });
  check("new at the same size", [] {
    answer_next_dialog([](GtkWidget *d) { gtk_button_clicked(GTK_BUTTON(find_widget(d, GTK_TYPE_BUTTON, "gtk-apply"))); });
    cb_new();
  }, [&] { slow_expose(whole); });
  view_set_observer(nullptr);
}

namespace {
constexpr const char *kOwnScreen = "KOMA_TEST_OWN_16_BIT_SCREEN";

// Runs this program's test `name` on a 16-bit Xvfb started for it alone, at the display number the
// server picks and writes out; returns what the run printed.
std::string run_on_16_bit_screen(const std::string &name) {
  Child server = spawn({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x16", "-noreset", "-nolisten", "tcp"});
  const std::string number = server.line();
  gchar *text = nullptr;
  if (!number.empty()) {
    g_autofree gchar *self = g_file_read_link("/proc/self/exe", nullptr);
    const std::string filter = "--gtest_filter=" + name;
    gchar *argv[] = {self, const_cast<gchar *>(filter.c_str()), nullptr};
    gchar **env = g_environ_setenv(g_get_environ(), "DISPLAY", (":" + number).c_str(), TRUE);
    env = g_environ_setenv(env, kOwnScreen, "1", TRUE);
    g_spawn_sync(nullptr, argv, env, G_SPAWN_DEFAULT, nullptr, nullptr, &text, nullptr, nullptr, nullptr);
    g_strfreev(env);
  }
  server.end(SIGTERM);
  const std::string out = number.empty() ? "Xvfb gave no display" : text ? text : "";
  return g_free(text), out;
}

// What a 24-bit screen shows of `r`: the background, then the strokes of
// `cells` in order, drawn by the X server into a 32-bit surface.
std::vector<guint32> as_on_24_bits(GdkRectangle r, const std::vector<Cell> &cells) {
  CairoPtr on_window = cairo_for(drawing_area);
  cairo_surface_t *argb = cairo_surface_create_similar(cairo_get_target(on_window.get()), CAIRO_CONTENT_COLOR_ALPHA, r.width, r.height);
  cairo_t *cr = cairo_create(argb);
  gdk_cairo_set_source_color(cr, &gtk_widget_get_style(drawing_area)->bg[GTK_STATE_NORMAL]), cairo_paint(cr);
  cairo_translate(cr, -r.x, -r.y);
  for (auto [x, y, red, g, b] : cells)
    px_draw_box(cr, x * dot_size, y * dot_size, (x + 1) * dot_size - 1, (y + 1) * dot_size - 1, red, g, b);
  cairo_destroy(cr);
  std::vector<guint32> words(std::size_t(r.width) * r.height);
  cairo_surface_t *read = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char *>(words.data()),
                                                              CAIRO_FORMAT_RGB24, r.width, r.height, r.width * 4);
  cr = cairo_create(read);
  cairo_set_source_surface(cr, argb, 0, 0), cairo_paint(cr), cairo_destroy(cr);
  cairo_surface_destroy(read), cairo_surface_destroy(argb);
  return words;
}
}  // namespace

// Painting does not depend on the screen: on 16 bits every channel of every pixel is less than one step
// of the screen's depth from what 24 bits show, the error of rounding alone.
TEST_F(Painting, OnA16BitScreenWithinOneStepOfWhat24BitsShow) {
  if (screen_depth() != 16) {
    ASSERT_EQ(g_getenv(kOwnScreen), nullptr) << "its own screen has " << screen_depth() << " bits";
    const testing::TestInfo *t = testing::UnitTest::GetInstance()->current_test_info();
    const std::string out = run_on_16_bit_screen(std::string(t->test_suite_name()) + "." + t->name());
    EXPECT_NE(out.find("[  PASSED  ] 1 test."), std::string::npos) << out;
    return;
  }
  gtk_widget_destroy(tool_bar_window), gtk_widget_destroy(cp_main_window);  // nothing may cover the canvas
  const GdkVisual *v = gdk_visual_get_system();
  const int step[3] = {256 >> v->red_prec, 256 >> v->green_prec, 256 >> v->blue_prec};
  view_set_observer([](int x, int y, int r, int g, int b) { painted.emplace_back(x, y, r, g, b); });
  std::mt19937 rng(7);
  for (int scale : {2, 3, 10}) {
    SCOPED_TRACE(scale);
    cnvs_allocate(80, 60, true, "error");
    for (int i = 0; i < 80 * 60; i++)
      if (rng() % 3) std::generate_n(px_cnvs + 3 * i, 3, [&] { return int(rng() % 256); });
    dot_size = scale;
    gtk_widget_destroy(window), crate_main_window();
    for (int i = 0; i < 100 && !gtk_widget_get_mapped(drawing_area); i++) pump(10);
    pump(50);
    painted.clear();
    gdk_window_invalidate_rect(canvas(), nullptr, FALSE), gdk_window_process_all_updates();
    now_tool = 1, now_rgb[0] = 250, now_rgb[1] = 130, now_rgb[2] = 7;
    click(drawing_area, 4 * scale + 1, 3 * scale + 1);  // painted at once, over the exposed cells
    const GdkRectangle r = shown();
    const Shot got = shot(r);
    const std::vector<guint32> want = as_on_24_bits(r, painted);
    int worst[3] = {}, off = 0;
    for (int y = 0; y < r.height; y++)
      for (int x = 0; x < r.width; x++)
        for (int c = 0; c < 3; c++) {
          const int d = std::abs(gdk_pixbuf_get_pixels(got.get())[y * gdk_pixbuf_get_rowstride(got.get()) + 3 * x + c] -
                                 int(want[y * r.width + x] >> (16 - 8 * c) & 255));
          worst[c] = std::max(worst[c], d), off += d >= step[c];
        }
    EXPECT_EQ(off, 0) << "worst red, green, blue: " << worst[0] << ", " << worst[1] << ", " << worst[2];
    EXPECT_GT(painted.size(), 1000u);
  }
  view_set_observer(nullptr);
}
