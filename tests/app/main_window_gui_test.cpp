#include "app/main_window.h"

#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "canvas/paint.h"
#include "support/gui.h"

namespace {
int channel(guint32 c, int shift) { return (c >> shift) & 0xFF; }

// Renders one cell the way the canvas does, on an image of the given
// background, for comparison with what the X server shows.
cairo_surface_t *expected_cell(guint32 bg, int r, int g, int b) {
  cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 30, 30);
  cairo_t *cr = cairo_create(s);
  cairo_set_source_rgb(cr, channel(bg, 16) / 255.0, channel(bg, 8) / 255.0,
                       channel(bg, 0) / 255.0);
  cairo_paint(cr);
  cairo_translate(cr, -10, -20);  // the image starts at (10, 20) of the canvas
  px_draw_box(cr, 20, 30, 29, 39, r, g, b);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  return s;
}
}  // namespace

using MainWindow = GuiTest;

TEST_F(MainWindow, StartsInTheUntitledState) {
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "KOMA ver 1.0:無題.koma  ( 64 x 64 )");
  EXPECT_EQ(px_main_window, window);
  gint w, h;
  gtk_window_get_default_size(GTK_WINDOW(window), &w, &h);
  EXPECT_EQ(w, 643);
  EXPECT_EQ(h, 667);
  gtk_widget_get_size_request(drawing_area, &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 640);
  gtk_widget_get_size_request(statas_area, &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 24);
  EXPECT_EQ(gtk_widget_get_events(drawing_area), 4868);
  EXPECT_EQ(save_fg, 0);
  EXPECT_EQ(start_fg, 1);
  EXPECT_EQ(tool_bar_view_fg, 1);
  EXPECT_EQ(color_paret_view_fg, 1);
  EXPECT_EQ(preview_fg, 0);
  EXPECT_EQ(now_tool, 1);
  EXPECT_EQ(now_rgb[0] + now_rgb[1] + now_rgb[2], 0);
  EXPECT_NE(gtk_window_get_default_icon_list(), nullptr);
}

TEST_F(MainWindow, WrittenCellIsFramedInItsColourOverTheBackground) {
  px_get_now_adjustment();
  const guint32 bg = pixel_at(drawing_area, 25, 35);
  px_dot(px_cnvs, 2, 3, 255, 0, 0);
  pump();
  // The inside of the cell keeps the background; the frame is red.
  EXPECT_EQ(pixel_at(drawing_area, 25, 35), bg);
  const guint32 top = pixel_at(drawing_area, 25, 30);
  EXPECT_GT(channel(top, 16), 200);
  EXPECT_LT(channel(top, 8), 80);
  // Every pixel around the cell matches the same strokes rendered off screen,
  // white rim included.
  cairo_surface_t *want = expected_cell(bg, 255, 0, 0);
  GdkPixbuf *got = read_pixels(drawing_area, 10, 20, 30, 30);
  ASSERT_NE(got, nullptr);
  const guchar *g = gdk_pixbuf_get_pixels(got);
  const unsigned char *e = cairo_image_surface_get_data(want);
  int off = 0;
  for (int y = 0; y < 30; y++)
    for (int x = 0; x < 30; x++) {
      const guchar *gp = g + y * gdk_pixbuf_get_rowstride(got) + x * 3;
      const guint32 ev = *reinterpret_cast<const guint32 *>(
          e + y * cairo_image_surface_get_stride(want) + x * 4);
      for (int k = 0; k < 3; k++)
        if (std::abs(gp[k] - channel(ev, 16 - 8 * k)) > 24) {
          off++;  // the X server antialiases a few corner pixels a little differently
          break;
        }
    }
  EXPECT_LE(off, 8);
  g_object_unref(got);
  cairo_surface_destroy(want);
}

TEST_F(MainWindow, ExposureRepaintsNonWhiteCellsOnly) {
  px_get_now_adjustment();
  const guint32 bg = pixel_at(drawing_area, 55, 30);
  // Stored without painting (outside any visible window), then exposed.
  const int keep = now_window_right;
  now_window_right = -1;
  px_dot(px_cnvs, 5, 3, 0, 0, 255);
  now_window_right = keep;
  px_dot(px_cnvs, 7, 3, 255, 255, 255);  // painted as a near-white frame
  pump();
  EXPECT_EQ(pixel_at(drawing_area, 55, 30), bg);
  PrintCapture out;
  gdk_window_invalidate_rect(gtk_widget_get_window(drawing_area), nullptr, FALSE);
  gdk_window_process_all_updates();
  pump(20);
  EXPECT_EQ(out.count("Main_View_Draw\n"), 1);
  EXPECT_GT(channel(pixel_at(drawing_area, 55, 30), 0), 200);
  EXPECT_LT(channel(pixel_at(drawing_area, 55, 30), 16), 80);
  EXPECT_EQ(pixel_at(drawing_area, 75, 30), bg);  // the white cell shows the background
}

TEST_F(MainWindow, StatusLineShowsMessages) {
  GdkPixbuf *before = read_pixels(statas_area, 0, 0, 300, 24);
  px_error("error... テスト");
  pump();
  GdkPixbuf *after = read_pixels(statas_area, 0, 0, 300, 24);
  ASSERT_TRUE(before && after);
  int dark = 0;
  const guchar *p = gdk_pixbuf_get_pixels(after);
  for (int y = 0; y < 24; y++)
    for (int x = 0; x < 300; x++) {
      const guchar *q = p + y * gdk_pixbuf_get_rowstride(after) + x * 3;
      if (q[0] < 100 && q[1] < 100 && q[2] < 100) dark++;
    }
  EXPECT_GT(dark, 30);
  EXPECT_STREQ(px_status_text, "error... テスト");
  g_object_unref(before);
  g_object_unref(after);
}

TEST_F(MainWindow, QuitEndsTheMainLoop) {
  PrintCapture out;
  g_idle_add([](gpointer) -> gboolean { cb_quit(); return FALSE; }, nullptr);
  gtk_main();  // returns only if the quit ended it
  EXPECT_EQ(out.count("quit\n"), 1);
}

TEST_F(MainWindow, CloseRequestQuits) {
  PrintCapture out;
  g_idle_add([](gpointer) -> gboolean { send_delete(window); return FALSE; }, nullptr);
  gtk_main();
  EXPECT_EQ(out.count("quit\n"), 1);
}
