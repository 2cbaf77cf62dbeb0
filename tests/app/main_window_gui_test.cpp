#include <cstring>

#include "app/main_window.h"
#include "app/startup.h"
#include "base/globals.h"
#include "base/status.h"
#include "files/snapshot.h"
#include "canvas/cells.h"
#include "support/gui.h"

// Whether `w` shows at (x, y) what `draw` draws over its background (widths of 4n: rows unpadded).
static bool shows(GtkWidget *w, int x, int y, int width, int height, void (*draw)(cairo_t *)) {
  GdkPixmap *want = gdk_pixmap_new(gtk_widget_get_window(w), width, height, -1);
  cairo_t *cr = gdk_cairo_create(want);
  gdk_cairo_set_source_color(cr, &gtk_widget_get_style(w)->bg[GTK_STATE_NORMAL]);
  cairo_paint(cr), draw(cr), cairo_destroy(cr);
  g_autoptr(GdkPixbuf) got = read_pixels(w, x, y, width, height);
  g_autoptr(GdkPixbuf) ref = gdk_pixbuf_get_from_drawable(nullptr, want, nullptr, 0, 0, 0, 0, width, height);
  return g_object_unref(want), !std::memcmp(gdk_pixbuf_get_pixels(got), gdk_pixbuf_get_pixels(ref), width * height * 3);
}
// px_status_text as the status line shows it.
static void status_text(cairo_t *cr) {
  PangoLayout *layout = pango_cairo_create_layout(cr);
  PangoFontDescription *font = pango_font_description_from_string("sans-serif 14px");
  pango_layout_set_font_description(layout, font), pango_layout_set_text(layout, px_status_text, -1);
  cairo_set_source_rgb(cr, 0, 0, 0), cairo_move_to(cr, 1, 18 - pango_layout_get_baseline(layout) / double(PANGO_SCALE));
  pango_cairo_show_layout(cr, layout), pango_font_description_free(font), g_object_unref(layout);
}
static void activate(const char *label) { gtk_menu_item_activate(GTK_MENU_ITEM(find_widget(window, GTK_TYPE_MENU_ITEM, label))); }

using MainWindow = GuiTest;
using Menu = GuiTest;

// The sizes, the title and the menu bar are in the golden sessions.
TEST_F(MainWindow, EventsIconAndALongTitle) {
  g_autoptr(GList) icons = gtk_window_get_default_icon_list();
  EXPECT_EQ(std::pair(gtk_widget_get_events(drawing_area), !!icons), std::pair(4868, true));  // motion, press, release, enter
  char buf[kTextBufSize];
  cnvs_allocate(3, 2, true, "");  // width and height told apart
  EXPECT_STREQ((px_make_title(buf, sizeof buf, false), buf), "KOMA ver 1.0:無題.koma");
  std::string name;
  while (name.size() + 4 < sizeof now_file_name) name += "a漢";  // a long name, cut before a character
  const std::string title = (g_strlcpy(now_file_name, name.c_str(), sizeof now_file_name), px_make_title(buf, sizeof buf, true), buf);
  EXPECT_TRUE(title.size() > sizeof buf - 4 && g_utf8_validate(buf, -1, nullptr)) << title.size();
  EXPECT_EQ(title.substr(title.size() - 11), "  ( 3 x 2 )");
}

// A cell: white strokes 1.8 wide, then in its colour (c / 256) 1.5 wide, corner to just past the next
// corner; an exposure starts from the theme's background. Status: sans-serif 14 px, baseline at (1, 18).
TEST_F(MainWindow, CellsAndStatusLineAsDrawnByHand) {
  SKIP_UNLESS_24_BIT();
  auto cell_2_3 = [](cairo_t *cr) {  // its square is (20, 30) to (29, 39); the image starts at (10, 20)
    const double k = 0.5219, colour[][4] = {{1.8, 1, 1, 1}, {1.5, 255 / 256.0, 128 / 256.0, 1 / 256.0}};
    for (const double *c : colour) {
      for (auto s : {std::array<double, 4>{20, 30, 29 + k, 30 + k}, {29, 30, 29 + k, 39 + k}, {29, 39, 20 + k, 39 + k}, {20, 39, 20 + k, 30 + k}})
        cairo_move_to(cr, s[0] - 10, s[1] - 20), cairo_line_to(cr, s[2] - 10, s[3] - 20);
      cairo_set_line_width(cr, c[0]), cairo_set_source_rgb(cr, c[1], c[2], c[3]), cairo_stroke(cr);
    }
  };
  px_dot(px_cnvs, 2, 3, 255, 128, 1);
  EXPECT_TRUE(shows(drawing_area, 10, 20, 32, 32, cell_2_3));
  std::fill_n(px_cnvs + 3 * (5 + 3 * 64), 3, 0);  // black, stored but not painted
  px_dot(px_cnvs, 1, 2, 255, 255, 255);           // white, painted as a near-white frame
  gdk_window_invalidate_rect(gtk_widget_get_window(drawing_area), nullptr, FALSE), gdk_window_process_all_updates(), pump(20);
  EXPECT_TRUE(shows(drawing_area, 10, 20, 32, 32, cell_2_3));
  EXPECT_EQ(std::pair(pixel_at(drawing_area, 55, 30) == 0, pixel_at(drawing_area, 15, 25) == 0xFFFFFF), std::pair(true, false));
  px_error("error... Save failed 123 保存");
  EXPECT_TRUE(shows(statas_area, 0, 0, 640, 24, status_text));
}

// A document refused at start-up, and a damaged recovery snapshot, are told on the status line once
// the window is shown; the next exposure of the line clears it, as it clears any message.
TEST_F(MainWindow, StartUpMessagesToldOnceShown) {
  const std::string path = make_scratch_dir("start") + "/crlf.koma";
  write_file(path, "koma1.0\r\n1 x 1\r\n0,0,0\r\n");
  for (bool snapshot : {false, true}) {
    if (snapshot) g_mkdir_with_parents(snapshot_folder().c_str(), 0700), write_file(snapshot_folder() + "/1-1.koma", "koma1.0\n");
    start_editor(snapshot ? "" : path), pump(30);
    EXPECT_STREQ(px_status_text, snapshot ? "error... 読めない復元用の控えを damaged に移しました。" : "error... KOMAのファイルではありません。");
    EXPECT_TRUE(shows(statas_area, 0, 0, 640, 24, status_text));
    gdk_window_invalidate_rect(gtk_widget_get_window(statas_area), nullptr, FALSE), pump(20);
    EXPECT_TRUE(shows(statas_area, 0, 0, 640, 24, [](cairo_t *) {}));
  }
}

// Tool items and buttons forget a pending line or box (the picker keeps them) but not a circle centre;
// view items open their window only while its flag is 0.
TEST_F(Menu, ToolItemsToolBarButtonsAndViewItems) {
  g_autoptr(GList) buttons = gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(tool_bar_window))));
  const char *tools[] = {"スポイト", "点", "線", "正方形", "長方形", "円", "楕円", "塗り"};
  PrintCapture out;
  for (int i = 0; i < 8; i++) {
    GtkWidget *button = GTK_WIDGET(g_list_nth_data(buttons, i));
    EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(gtk_bin_get_child(GTK_BIN(button)))), GTK_IMAGE_PIXBUF) << i;
    for (bool menu : {true, false}) {
      now_tool = 2, tool_line_start = tool_box_start = tool_circle_start = 1;
      menu ? activate(tools[i]) : gtk_button_clicked(GTK_BUTTON(button));
      EXPECT_EQ(std::vector<int>({now_tool, tool_line_start, tool_box_start, tool_circle_start}),
                std::vector<int>({i ? i : 9, !i, !i, 1})) << i << menu;
    }
  }
  EXPECT_EQ(out.text(), "spoit\nmenu dot\ndot\nmenu line\nline\nmenu box\nbox\nmenu box2\nbox2\nmenu circle\ncarcle\n"
                        "menu circle2\ncarcle2\nmenu paint\npaint\n");
  GtkWidget *bar = tool_bar_window;
  activate("ツールバー");  // open already: nothing happens
  const int kept = bar == tool_bar_window;
  send_delete(tool_bar_window), send_delete(cp_main_window);
  const int closed = tool_bar_view_fg + color_paret_view_fg;
  for (const char *view : {"ツールバー", "カラーパレット", "プレビュー", "プレビュー"}) activate(view);
  EXPECT_EQ(std::vector<int>({kept, closed, gtk_widget_get_mapped(tool_bar_window), tool_bar_view_fg, color_paret_view_fg,
                              preview_fg, out.count("bmp_write5\n")}), std::vector<int>({1, 0, 1, 1, 1, 1, 1}));  // one preview for two
}
