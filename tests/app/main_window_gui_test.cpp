#include "app/main_window.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "canvas/paint.h"
#include "support/gui.h"

namespace {
int channel(guint32 c, int shift) { return (c >> shift) & 0xFF; }
}  // namespace

using MainWindow = GuiTest;

TEST_F(MainWindow, StartsInTheUntitledState) {
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "KOMA ver 1.0:無題.koma  ( 64 x 64 )");
  gint sizes[6];
  gtk_window_get_default_size(GTK_WINDOW(window), &sizes[0], &sizes[1]);
  gtk_widget_get_size_request(drawing_area, &sizes[2], &sizes[3]);
  gtk_widget_get_size_request(statas_area, &sizes[4], &sizes[5]);
  EXPECT_EQ(std::vector<int>(sizes, sizes + 6), (std::vector<int>{643, 667, 640, 640, 640, 24}));
  EXPECT_EQ(gtk_widget_get_events(drawing_area), 4868);
  EXPECT_EQ(std::vector<int>({save_fg, start_fg, tool_bar_view_fg, color_paret_view_fg,
                              preview_fg, now_tool, now_rgb[0] + now_rgb[1] + now_rgb[2]}),
            (std::vector<int>{0, 1, 1, 1, 0, 1, 0}));
  EXPECT_EQ(px_main_window, window);
  EXPECT_NE(gtk_window_get_default_icon_list(), nullptr);
}

// A written cell shows at once: over the background, four white strokes 1.8
// wide, then the same in its colour (c / 256) 1.5 wide, each from a corner to
// just past the next; the X server draws them here off screen for comparison.
TEST_F(MainWindow, WrittenCellShowsItsFourStrokesOverTheBackground) {
  px_get_now_adjustment();
  px_dot(px_cnvs, 2, 3, 255, 128, 1);
  pump();
  GdkPixmap *want = gdk_pixmap_new(gtk_widget_get_window(drawing_area), 30, 30, -1);
  cairo_t *cr = gdk_cairo_create(want);
  gdk_cairo_set_source_color(cr, &gtk_widget_get_style(drawing_area)->bg[GTK_STATE_NORMAL]);
  cairo_paint(cr);
  cairo_translate(cr, 10, 10);  // the cell's square is (20, 30) to (29, 39) of the canvas
  const double k = 0.5219, colour[][4] = {{1.8, 1, 1, 1}, {1.5, 255 / 256.0, 128 / 256.0, 1 / 256.0}};
  for (const double *c : colour) {
    const double strokes[4][4] = {{0, 0, 9 + k, k}, {9, 0, 9 + k, 9 + k}, {9, 9, k, 9 + k}, {0, 9, k, k}};
    for (const double *s : strokes) cairo_move_to(cr, s[0], s[1]), cairo_line_to(cr, s[2], s[3]);
    cairo_set_line_width(cr, c[0]), cairo_set_source_rgb(cr, c[1], c[2], c[3]), cairo_stroke(cr);
  }
  cairo_destroy(cr);
  GdkPixbuf *got = read_pixels(drawing_area, 10, 20, 30, 30);
  GdkPixbuf *ref = gdk_pixbuf_get_from_drawable(nullptr, want, nullptr, 0, 0, 0, 0, 30, 30);
  EXPECT_EQ(memcmp(gdk_pixbuf_get_pixels(got), gdk_pixbuf_get_pixels(ref), gdk_pixbuf_get_rowstride(got) * 30), 0);
  EXPECT_EQ(pixel_at(drawing_area, 20, 30), 0xFE8001u);  // a corner wholly covered: 255 becomes 254
  g_object_unref(got), g_object_unref(ref), g_object_unref(want);
}

TEST_F(MainWindow, ExposureRepaintsNonWhiteCellsOnlyAndStatusLineShowsText) {
  px_get_now_adjustment();
  const guint32 bg = pixel_at(drawing_area, 55, 30);
  std::fill_n(px_cnvs + 3 * (5 + 3 * 64), 3, 0);  // stored, not painted
  px_dot(px_cnvs, 7, 3, 255, 255, 255);           // painted as a near-white frame
  px_error("error... テスト");
  pump();
  int dark = 0;
  for (int x = 1; x < 120; x++)
    for (int y = 6; y < 22; y++) dark += channel(pixel_at(statas_area, x, y), 8) < 100;
  EXPECT_GT(dark, 20);
  EXPECT_STREQ(px_status_text, "error... テスト");
  PrintCapture out;
  gdk_window_invalidate_rect(gtk_widget_get_window(drawing_area), nullptr, FALSE);
  gdk_window_process_all_updates();
  pump(20);
  EXPECT_EQ(out.count("Main_View_Draw\n"), 1);
  EXPECT_EQ(pixel_at(drawing_area, 55, 30), 0u);  // the black cell's frame
  EXPECT_EQ(pixel_at(drawing_area, 75, 30), bg);  // the white cell shows the background
  // ... the theme's, not a colour of the program's own.
  const GdkColor &theme = gtk_widget_get_style(drawing_area)->bg[GTK_STATE_NORMAL];
  EXPECT_EQ(bg, guint32(theme.red >> 8) << 16 | (theme.green >> 8) << 8 | theme.blue >> 8);
  EXPECT_NE(bg, 0xFFFFFFu);
}

// Status texts are set in the sans-serif face at 14 pixels, baseline at (1, 18).
TEST_F(MainWindow, StatusLineUsesTheSansSerifFace) {
  const char *text = "error... Save failed 123 保存";
  px_error(text);
  GtkAllocation a;
  gtk_widget_get_allocation(statas_area, &a);
  GdkPixbuf *got = read_pixels(statas_area, 0, 0, a.width, a.height);
  GdkPixmap *want = gdk_pixmap_new(gtk_widget_get_window(statas_area), a.width, a.height, -1);
  cairo_t *cr = gdk_cairo_create(want);
  const GdkColor &bg = gtk_widget_get_style(statas_area)->bg[GTK_STATE_NORMAL];
  gdk_cairo_set_source_color(cr, &bg);
  cairo_paint(cr);
  PangoLayout *layout = pango_cairo_create_layout(cr);
  PangoFontDescription *font = pango_font_description_from_string("sans-serif 14px");
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, text, -1);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_move_to(cr, 1, 18 - pango_layout_get_baseline(layout) / double(PANGO_SCALE));
  pango_cairo_show_layout(cr, layout);
  cairo_destroy(cr);
  GdkPixbuf *ref = gdk_pixbuf_get_from_drawable(nullptr, want, nullptr, 0, 0, 0, 0, a.width, a.height);
  const int n = gdk_pixbuf_get_rowstride(got) * a.height;
  EXPECT_EQ(std::vector<guchar>(gdk_pixbuf_get_pixels(got), gdk_pixbuf_get_pixels(got) + n),
            std::vector<guchar>(gdk_pixbuf_get_pixels(ref), gdk_pixbuf_get_pixels(ref) + n));
  int ink = 0;
  for (int i = 0; i < n; i++) ink += gdk_pixbuf_get_pixels(ref)[i] < 100;
  EXPECT_GT(ink, 100);
  pango_font_description_free(font);
  g_object_unref(layout);
  g_object_unref(ref);
  g_object_unref(want);
  g_object_unref(got);
}

TEST_F(MainWindow, QuitAndCloseRequestEndTheMainLoop) {
  for (bool close : {false, true}) {
    PrintCapture out;
    g_idle_add(close ? [](gpointer) -> gboolean { send_delete(window); return FALSE; }
                     : [](gpointer) -> gboolean { cb_quit(); return FALSE; },
               nullptr);
    gtk_main();  // returns only once the quit ended it
    EXPECT_EQ(out.count("quit\n"), 1);
  }
}
