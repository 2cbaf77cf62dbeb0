#include "files/size_dialogs.h"

#include <cstdint>
#include <cstdio>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/text.h"
#include "canvas/cells.h"
#include "canvas/paint.h"

namespace {
constexpr int kRowSpacing = 5;
constexpr int kMinScale = 2;
constexpr int kMaxScale = 10;
constexpr const char *kWidthKey = "koma-entry-width";
constexpr const char *kHeightKey = "koma-entry-height";
constexpr const char *kMessageKey = "koma-message";
constexpr const char *kSizeKey = "koma-entry-size";

// Decimal prefix conversion: white space, an optional sign and the digits
// that follow; no digits give 0. Values beyond int stop at its bounds.
int prefix_number(const char *s) {
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
  bool neg = false;
  if (*s == '+' || *s == '-') neg = *s++ == '-';
  constexpr std::int64_t kCap = std::int64_t(1) << 32;
  std::int64_t mag = 0;
  for (; *s >= '0' && *s <= '9'; ++s)
    if (mag < kCap) mag = mag * 10 + (*s - '0');
  const std::int64_t v = neg ? -mag : mag;
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int>(v);
}

int entry_number(GtkWidget *entry) { return prefix_number(gtk_entry_get_text(GTK_ENTRY(entry))); }

// One row: a label and an entry preset with `value`. Returns the entry.
GtkWidget *entry_row(GtkWidget *dialog, const char *label, int value) {
  GtkWidget *row = gtk_hbox_new(FALSE, kRowSpacing);
  gtk_box_pack_start(GTK_BOX(row), gtk_label_new(label), FALSE, FALSE, 0);
  GtkWidget *entry = gtk_entry_new();
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  gtk_entry_set_text(GTK_ENTRY(entry), text);
  gtk_box_pack_start(GTK_BOX(row), entry, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row);
  return entry;
}

// The Apply button gets its own dialog, so that it acts on that dialog
// even when a newer one of the same kind was opened meanwhile.
void add_apply(GtkWidget *dialog, GCallback handler) {
  GtkWidget *apply = gtk_button_new_from_stock("gtk-apply");
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_action_area(GTK_DIALOG(dialog))), apply, TRUE,
                     TRUE, 0);
  g_signal_connect(apply, "clicked", handler, dialog);
}

GtkWidget *object_widget(GtkWidget *dialog, const char *key) {
  return GTK_WIDGET(g_object_get_data(G_OBJECT(dialog), key));
}

// Keeps the handles from pointing at a destroyed dialog.
void forget_dialog(GtkWidget *dialog, gpointer) {
  if (change_dialog == dialog) change_dialog = entry_width = entry_height = nullptr;
  if (change_scale_dialog == dialog) change_scale_dialog = entry_size = nullptr;
}

void show_size_message() {
  GtkWidget *label = object_widget(change_dialog, kMessageKey);
  char text[64];
  std::snprintf(text, sizeof text, "0〜%dの数を入れてください。", kMaxCanvasSide);
  gtk_label_set_text(GTK_LABEL(label), text);
  gtk_widget_show(label);
}

bool side_ok(int n) { return n >= 0 && n <= kMaxCanvasSide; }
}  // namespace

void px_start_untitled(bool size_in_title) {
  cnvs_claer_full();
  px_draw_full();
  utf8_copy(now_file_name, sizeof now_file_name, kUntitledName);
  px_set_title(size_in_title);
  save_fg = 0;
  start_fg = 1;
}

void cb_change() {
  change_dialog = gtk_dialog_new();
  entry_width = entry_row(change_dialog, "横：", mv_size_widht);
  entry_height = entry_row(change_dialog, "縦：", mv_size_heigth);
  // Where a refused size is explained; hidden until then.
  GtkWidget *message = gtk_label_new("");
  gtk_widget_set_no_show_all(message, TRUE);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(change_dialog))),
                    message);
  g_object_set_data(G_OBJECT(change_dialog), kWidthKey, entry_width);
  g_object_set_data(G_OBJECT(change_dialog), kHeightKey, entry_height);
  g_object_set_data(G_OBJECT(change_dialog), kMessageKey, message);
  add_apply(change_dialog, G_CALLBACK(cb_change_button));
  g_signal_connect(change_dialog, "destroy", G_CALLBACK(forget_dialog), nullptr);
  gtk_widget_show_all(change_dialog);
  gtk_dialog_run(GTK_DIALOG(change_dialog));
  g_print("cb_change5\n");
}

void cb_change_button(GtkButton *, gpointer dialog) {
  if (dialog) {
    change_dialog = GTK_WIDGET(dialog);
    entry_width = object_widget(change_dialog, kWidthKey);
    entry_height = object_widget(change_dialog, kHeightKey);
  }
  if (!change_dialog) return;
  const int w = entry_number(entry_width);
  const int h = entry_number(entry_height);
  // Sizes outside the bound never reach the buffers.
  if (!side_ok(w) || !side_ok(h)) {
    show_size_message();
    return;
  }
  cnvs_allocate(w, h, true, "error");
  g_print("change!!\n");
  px_size_canvas_area();
  px_clear_canvas_window();
  px_start_untitled(true);
  g_print("cb_change_button\n");
  gtk_widget_destroy(change_dialog);
}

gint cb_change_scale(GtkMenuItem *, gpointer) {
  change_scale_dialog = gtk_dialog_new();
  entry_size = entry_row(change_scale_dialog, "スケール（２−１０）：", dot_size);
  g_object_set_data(G_OBJECT(change_scale_dialog), kSizeKey, entry_size);
  add_apply(change_scale_dialog, G_CALLBACK(cb_size_change_button));
  g_signal_connect(change_scale_dialog, "destroy", G_CALLBACK(forget_dialog), nullptr);
  gtk_widget_show_all(change_scale_dialog);
  return gtk_dialog_run(GTK_DIALOG(change_scale_dialog));
}

void cb_size_change_button(GtkButton *, gpointer dialog) {
  if (dialog) {
    change_scale_dialog = GTK_WIDGET(dialog);
    entry_size = object_widget(change_scale_dialog, kSizeKey);
  }
  if (!change_scale_dialog) return;
  int scale = entry_number(entry_size);
  if (scale > kMaxScale) scale = kMaxScale;
  if (scale <= 1) scale = kMinScale;
  dot_size = scale;
  gtk_widget_destroy(change_scale_dialog);
  if (window) gtk_widget_destroy(window);
  crate_main_window();
  g_print("size change:%d", dot_size);
}
