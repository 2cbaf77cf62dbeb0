#include "palette/color22.h"

#include <cstdlib>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "support/gui.h"

namespace {

int channel(guint32 c, int i) { return (c >> (16 - 8 * i)) & 0xFF; }

// The palette's drawing area, once it is on the screen and painted.
GtkWidget *palette_area() {
  GtkWidget *area = gtk_bin_get_child(GTK_BIN(cp_main_window));
  for (int i = 0; i < 100 && !gtk_widget_get_mapped(area); i++) pump(10);
  pump(20);
  return area;
}

guint32 background_of(GtkWidget *w) {
  const GdkColor &c = gtk_widget_get_style(w)->bg[GTK_STATE_NORMAL];
  return (guint32(c.red >> 8) << 16) | (guint32(c.green >> 8) << 8) | (c.blue >> 8);
}

void set_colour(int r, int g, int b) {
  now_rgb[0] = r;
  now_rgb[1] = g;
  now_rgb[2] = b;
}

std::vector<int> colour() { return {now_rgb[0], now_rgb[1], now_rgb[2]}; }

}  // namespace

using PaletteWindow = GuiTest;

TEST_F(PaletteWindow, IsBuiltAtStartUpWithItsGridArea) {
  ASSERT_NE(cp_main_window, nullptr);
  EXPECT_EQ(color_paret_view_fg, 1);
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(cp_main_window)), "PALET");
  gint w, h;
  gtk_window_get_default_size(GTK_WINDOW(cp_main_window), &w, &h);
  EXPECT_EQ(w, 200);
  EXPECT_EQ(h, 440);
  GtkWindowPosition pos;
  g_object_get(cp_main_window, "window-position", &pos, nullptr);
  EXPECT_EQ(pos, GTK_WIN_POS_CENTER_ALWAYS);
  GtkWidget *area = palette_area();
  ASSERT_TRUE(GTK_IS_DRAWING_AREA(area));
  gtk_widget_get_size_request(area, &w, &h);
  EXPECT_EQ(w, 200);
  EXPECT_EQ(h, 440);
  EXPECT_EQ(gtk_widget_get_events(area), 0x1304);
  EXPECT_NE(pl_main, nullptr);  // made by the first paint
}

TEST_F(PaletteWindow, ClickPicksTheSwatchUnderThePointer) {
  GtkWidget *area = palette_area();
  struct Case {
    double x, y;
    GdkEventType type;
    guint button;
    std::vector<int> want;
  } cases[] = {
      {0, 0, GDK_BUTTON_PRESS, 1, {255, 0, 0}},
      {199, 439, GDK_BUTTON_PRESS, 1, {255, 255, 255}},
      {25, 130, GDK_BUTTON_PRESS, 1, {229, 114, 0}},
      {19.9, 0, GDK_BUTTON_PRESS, 1, {255, 0, 0}},
      {20.0, 0, GDK_BUTTON_PRESS, 1, {229, 0, 0}},
      {0, 19.9, GDK_BUTTON_PRESS, 1, {255, 0, 0}},
      {0, 20.0, GDK_BUTTON_PRESS, 1, {0, 255, 0}},
      {199.9, 300.5, GDK_BUTTON_PRESS, 1, {25, 19, 12}},  // column 9, row 15
      {25, 130, GDK_BUTTON_PRESS, 3, {229, 114, 0}},
      {25, 130, GDK_BUTTON_PRESS, 2, {229, 114, 0}},
      {25, 130, GDK_2BUTTON_PRESS, 1, {229, 114, 0}},
  };
  for (const Case &c : cases) {
    set_colour(1, 2, 3);
    send_button(area, c.type, c.x, c.y, c.button);
    send_button(area, GDK_BUTTON_RELEASE, c.x, c.y, c.button);
    EXPECT_EQ(colour(), c.want) << c.x << "," << c.y << " button " << c.button;
  }
}

TEST_F(PaletteWindow, ClickBeyondTheGridOfAnEnlargedWindowKeepsTheColour) {
  GtkWidget *area = palette_area();
  gtk_window_resize(GTK_WINDOW(cp_main_window), 320, 520);
  GtkAllocation a{};
  for (int i = 0; i < 100; i++) {
    pump(10);
    gtk_widget_get_allocation(area, &a);
    if (a.width >= 320 && a.height >= 520) break;
  }
  ASSERT_GE(a.width, 320);
  ASSERT_GE(a.height, 520);
  const double outside[][2] = {{200.0, 0}, {0, 440.0}, {250, 10}, {10, 500}, {319, 519}};
  for (auto &p : outside) {
    set_colour(1, 2, 3);
    click(area, p[0], p[1]);
    EXPECT_EQ(colour(), (std::vector<int>{1, 2, 3})) << p[0] << "," << p[1];
  }
  // The grid stays at the top left; the rest is background.
  EXPECT_EQ(pixel_at(area, 260, 100), background_of(area));
  EXPECT_EQ(pixel_at(area, 100, 480), background_of(area));
  click(area, 5, 5);
  EXPECT_EQ(colour(), (std::vector<int>{255, 0, 0}));
}

TEST_F(PaletteWindow, SwatchesShowTheirEntriesWithoutGaps) {
  GtkWidget *area = palette_area();
  const guint32 bg = background_of(area);
  // Every inner pixel of a swatch is half covered by each of two neighbouring
  // outlines, so a quarter of the background shows through the colour.
  const int swatches[][2] = {{0, 0}, {1, 6}, {9, 20}, {4, 21}, {9, 21}, {5, 12}};
  for (auto &s : swatches) {
    int rgb[3];
    ASSERT_EQ(pl_get_one(s[0], s[1], &rgb[0], &rgb[1], &rgb[2]), 1);
    for (auto [dx, dy] : {std::pair{4, 10}, std::pair{10, 4}, std::pair{14, 12}}) {
      const guint32 px = pixel_at(area, s[0] * 20 + dx, s[1] * 20 + dy);
      for (int c = 0; c < 3; c++) {
        const double want = 0.75 * (rgb[c] / 256.0 * 255.0) + 0.25 * channel(bg, c);
        EXPECT_NEAR(channel(px, c), want, 4.0) << s[0] << "," << s[1] << " channel " << c;
      }
    }
  }
  // Across the borders between saturated neighbours no pixel is background.
  GdkPixbuf *pb = read_pixels(area, 0, 0, 60, 60);
  ASSERT_NE(pb, nullptr);
  const guchar *p = gdk_pixbuf_get_pixels(pb);
  const int stride = gdk_pixbuf_get_rowstride(pb);
  auto distance_from_bg = [&](int x, int y) {
    const guchar *q = p + y * stride + x * 3;
    int d = 0;
    for (int c = 0; c < 3; c++) d += std::abs(q[c] - channel(bg, c));
    return d;
  };
  int gaps = 0;
  for (int along = 0; along < 60; along++)
    for (int edge : {19, 20, 39, 40}) {
      if (distance_from_bg(edge, along) < 60) gaps++;  // vertical borders
      if (distance_from_bg(along, edge) < 60) gaps++;  // horizontal borders
    }
  EXPECT_EQ(gaps, 0);
  g_object_unref(pb);
}

TEST_F(PaletteWindow, ExposureRepaintsTheGridFromTheSameTable) {
  GtkWidget *area = palette_area();
  const int *table = pl_main;
  const guint32 painted = pixel_at(area, 30, 70);
  gdk_window_clear(gtk_widget_get_window(area));
  ASSERT_EQ(pixel_at(area, 30, 70), background_of(area));
  for (int i = 0; i < 3; i++) {
    gdk_window_invalidate_rect(gtk_widget_get_window(area), nullptr, FALSE);
    gdk_window_process_all_updates();
    pump();
  }
  EXPECT_EQ(pixel_at(area, 30, 70), painted);
  EXPECT_EQ(pl_main, table);
}

TEST_F(PaletteWindow, ClosingClearsTheFlagAndAReopenedPaletteShowsTheSameColours) {
  GtkWidget *area = palette_area();
  const guint32 painted = pixel_at(area, 150, 250);
  const int *table = pl_main;
  GtkWidget *old = cp_main_window;
  g_object_add_weak_pointer(G_OBJECT(old), reinterpret_cast<gpointer *>(&old));
  {
    PrintCapture out;
    send_delete(cp_main_window);
    pump();
    EXPECT_EQ(out.count("color palet delete_event \n"), 1);
  }
  EXPECT_EQ(color_paret_view_fg, 0);
  EXPECT_EQ(old, nullptr);  // the toolkit destroyed it
  set_colour(1, 2, 3);
  create_color_palet();
  area = palette_area();
  EXPECT_EQ(colour(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(pl_main, table);
  EXPECT_EQ(pixel_at(area, 150, 250), painted);
  click(area, 25, 130);
  EXPECT_EQ(colour(), (std::vector<int>{229, 114, 0}));
}
