#include "app/scale_dialog.h"

#include "app/entry_dialog.h"
#include "app/main_window.h"
#include "base/globals.h"

namespace {
constexpr int kMinScale = 2;
constexpr int kMaxScale = 10;
constexpr const char *kSizeKey = "koma-entry-size";

void forget_dialog(GtkWidget *dialog, gpointer) {
  if (change_scale_dialog == dialog) change_scale_dialog = entry_size = nullptr;
}

void cb_size_change_button(GtkButton *, gpointer dialog) {
  change_scale_dialog = GTK_WIDGET(dialog);
  entry_size = dialog_widget(change_scale_dialog, kSizeKey);
  int scale = entry_number(entry_size);
  if (scale > kMaxScale) scale = kMaxScale;
  if (scale <= 1) scale = kMinScale;
  dot_size = scale;
  gtk_widget_destroy(change_scale_dialog);
  if (window) gtk_widget_destroy(window);
  // The one place where the application calls back up its own chain: the
  // menu of the window destroyed here opened this dialog, and the window is
  // built again, menu and all.
  crate_main_window();
  g_print("size change:%d", dot_size);
}
}  // namespace

gint cb_change_scale(GtkMenuItem *, gpointer) {
  change_scale_dialog = gtk_dialog_new();
  entry_size = entry_row(change_scale_dialog, "スケール（２−１０）：", dot_size, kSizeKey);
  add_apply(change_scale_dialog, G_CALLBACK(cb_size_change_button));
  g_signal_connect(change_scale_dialog, "destroy", G_CALLBACK(forget_dialog), nullptr);
  gtk_widget_show_all(change_scale_dialog);
  return gtk_dialog_run(GTK_DIALOG(change_scale_dialog));
}
