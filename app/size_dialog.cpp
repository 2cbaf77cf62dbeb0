#include "app/size_dialog.h"

#include <cstdio>

#include <gtk/gtk.h>

#include "app/entry_dialog.h"
#include "app/load_save.h"
#include "base/globals.h"
#include "canvas/cells.h"
#include "canvas/repaint.h"

namespace {
constexpr const char *kWidthKey = "koma-entry-width";
constexpr const char *kHeightKey = "koma-entry-height";
constexpr const char *kMessageKey = "koma-message";

// Keeps the handles from pointing at a destroyed dialog.
void forget_dialog(GtkWidget *dialog, gpointer) {
  if (change_dialog == dialog) change_dialog = entry_width = entry_height = nullptr;
}

void show_size_message() {
  GtkWidget *label = dialog_widget(change_dialog, kMessageKey);
  char text[64];
  std::snprintf(text, sizeof text, "0〜%dの数を入れてください。", kMaxCanvasSide);
  gtk_label_set_text(GTK_LABEL(label), text);
  gtk_widget_show(label);
}

bool side_ok(int n) { return n >= 0 && n <= kMaxCanvasSide; }

void cb_change_button(GtkButton *, gpointer dialog) {
  change_dialog = GTK_WIDGET(dialog);
  entry_width = dialog_widget(change_dialog, kWidthKey);
  entry_height = dialog_widget(change_dialog, kHeightKey);
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
}  // namespace

void cb_change() {
  change_dialog = gtk_dialog_new();
  entry_width = entry_row(change_dialog, "横：", mv_size_widht, kWidthKey);
  entry_height = entry_row(change_dialog, "縦：", mv_size_heigth, kHeightKey);
  // Where a refused size is explained; hidden until then.
  GtkWidget *message = gtk_label_new("");
  gtk_widget_set_no_show_all(message, TRUE);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(change_dialog))),
                    message);
  g_object_set_data(G_OBJECT(change_dialog), kMessageKey, message);
  add_apply(change_dialog, G_CALLBACK(cb_change_button));
  g_signal_connect(change_dialog, "destroy", G_CALLBACK(forget_dialog), nullptr);
  gtk_widget_show_all(change_dialog);
  gtk_dialog_run(GTK_DIALOG(change_dialog));
  g_print("cb_change5\n");
}
