#include "base/status.h"

#include <cstdio>
#include <string>

#include <gtk/gtk.h>

#include "base/drawing.h"
#include "base/text.h"

char px_status_text[kTextBufSize];

namespace {
constexpr const char *kTitlePrefix = "KOMA ver " KOMA_VERSION ":";
// Marks a status area that has had its first exposure.
constexpr const char *kExposedKey = "koma-status-exposed";
// Whether the last message was drawn before the status area's first
// exposure, which clears it.
bool message_unseen = false;

void draw_status(const char *text) {
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
}  // namespace

void px_error(const char *text) {
  utf8_copy(px_status_text, sizeof px_status_text, text);
  message_unseen = !statas_area || !g_object_get_data(G_OBJECT(statas_area), kExposedKey);
  draw_status(text);
}

void px_status_exposed(GtkWidget *area) {
  if (g_object_get_data(G_OBJECT(area), kExposedKey)) return;
  g_object_set_data(G_OBJECT(area), kExposedKey, GINT_TO_POINTER(1));
  if (message_unseen && area == statas_area) {
    message_unseen = false;
    draw_status(px_status_text);
  }
}

void px_show_failure(const char *why) { px_error((std::string("error... ") + why).c_str()); }

void px_make_title(char *buf, std::size_t size, bool with_size) {
  char suffix[64] = "";
  if (with_size)
    std::snprintf(suffix, sizeof suffix, "  ( %d x %d )", mv_size_widht, mv_size_heigth);
  utf8_fit_between(buf, size, kTitlePrefix, now_file_name, suffix);
}

void px_set_title(bool with_size) {
  if (!px_main_window) return;
  char title[kTextBufSize];
  px_make_title(title, sizeof title, with_size);
  gtk_window_set_title(GTK_WINDOW(px_main_window), title);
}
