#include "app/main_window.h"

#include <cstdio>
#include <cstring>

#include "app/data_files.h"
#include "app/globals.h"
#include "app/menu.h"
#include "app/text.h"
#include "canvas/paint.h"
#include "canvas/view.h"
#include "files/file_commands.h"
#include "tools/pointer.h"

namespace {
constexpr const char *kTitlePrefix = "KOMA ver 1.0:";
constexpr const char *kIconFile = "スマイリーno074.png";
constexpr gint kCanvasEvents = 4868;  // motion, press, release, enter
}  // namespace

void px_make_title(char *buf, std::size_t size, bool with_size) {
  char suffix[64] = "";
  if (with_size)
    std::snprintf(suffix, sizeof suffix, "  ( %d x %d )", mv_size_widht, mv_size_heigth);
  const std::size_t fixed = std::strlen(kTitlePrefix) + std::strlen(suffix);
  const std::size_t room = size > fixed ? size - 1 - fixed : 0;
  const std::size_t n = utf8_prefix_len(now_file_name, room);
  std::snprintf(buf, size, "%s%.*s%s", kTitlePrefix, static_cast<int>(n), now_file_name,
                suffix);
}

void px_set_title(bool with_size) {
  if (!px_main_window) return;
  char title[kTextBufSize];
  px_make_title(title, sizeof title, with_size);
  gtk_window_set_title(GTK_WINDOW(px_main_window), title);
}

void crate_main_window() {
  window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  char title[kTextBufSize];
  px_make_title(title, sizeof title, true);
  gtk_window_set_title(GTK_WINDOW(window), title);
  // A missing or unreadable icon leaves the windows without one, silently:
  // with an error to fill, the toolkit prints no warning of its own.
  GError *icon_error = nullptr;
  gtk_window_set_default_icon_from_file(px_image_path(kIconFile).c_str(), &icon_error);
  g_clear_error(&icon_error);
  gtk_window_set_default_size(GTK_WINDOW(window), 64 * dot_size + 3, 64 * dot_size + 27);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ALWAYS);
  g_signal_connect(window, "delete_event", G_CALLBACK(cb_quit), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(destroy), nullptr);

  GtkWidget *vbox = gtk_vbox_new(FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window), vbox);
  gtk_box_pack_start(GTK_BOX(vbox), create_menu(), FALSE, FALSE, 0);

  drawing_area = gtk_drawing_area_new();
  px_size_canvas_area();
  g_scroll_window = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_box_pack_start(GTK_BOX(vbox), g_scroll_window, TRUE, TRUE, 0);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(g_scroll_window), GTK_POLICY_AUTOMATIC,
                                 GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(g_scroll_window), drawing_area);

  g_signal_connect(drawing_area, "expose_event", G_CALLBACK(Main_View_Draw), nullptr);
  g_signal_connect(drawing_area, "motion_notify_event", G_CALLBACK(motion_notify_event),
                   nullptr);
  g_signal_connect(drawing_area, "button_press_event", G_CALLBACK(button_press_event),
                   nullptr);
  g_signal_connect(drawing_area, "button_release_event", G_CALLBACK(button_release_event),
                   nullptr);
  gtk_widget_set_events(drawing_area, kCanvasEvents);

  statas_area = gtk_drawing_area_new();
  gtk_widget_set_size_request(statas_area, 64 * dot_size, 24);
  gtk_box_pack_start(GTK_BOX(vbox), statas_area, FALSE, FALSE, 0);

  px_main_window = window;
  gtk_widget_show_all(window);
  g_print("creat_main_view\n");
}

gboolean Main_View_Draw(GtkWidget *, GdkEventExpose *event, gpointer) {
  // Only the exposed area is painted again; the rest of the screen keeps
  // what it shows.
  view_expose_begin(event ? event->region : nullptr);
  px_draw_full();
  view_expose_end();
  g_print("Main_View_Draw\n");
  return FALSE;
}

void destroy(GtkWidget *, gpointer) { g_print("destroy\n"); }

gboolean cb_quit() {
  // The prompt offers saving, not cancelling; only a save that failed keeps
  // the program, and the unsaved picture, alive.
  if (save_fg == 1 && !yesno_dialog()) return TRUE;
  if (gtk_main_level() > 0) gtk_main_quit();
  g_print("quit\n");
  // Keep the window: the program ends with the main loop anyway.
  return TRUE;
}

void px_error(const char *text) {
  utf8_copy(px_status_text, sizeof px_status_text, text);
  GdkWindow *w = statas_area ? gtk_widget_get_window(statas_area) : nullptr;
  if (!w) return;
  gdk_window_clear(w);
  CairoPtr cr = cairo_for(statas_area);
  // Pango rather than cairo's own text call: it falls back to a font that has
  // the Japanese glyphs when the sans-serif face lacks them.
  PangoLayout *layout = pango_cairo_create_layout(cr.get());
  PangoFontDescription *font = pango_font_description_new();
  pango_font_description_set_family(font, "sans-serif");
  pango_font_description_set_absolute_size(font, 14 * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, text, -1);
  // The text's baseline starts at (1, 18), in black.
  cairo_set_source_rgb(cr.get(), 0, 0, 0);
  cairo_move_to(cr.get(), 1, 18.0 - double(pango_layout_get_baseline(layout)) / PANGO_SCALE);
  pango_cairo_show_layout(cr.get(), layout);
  pango_font_description_free(font);
  g_object_unref(layout);
}
