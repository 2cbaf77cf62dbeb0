#include "app/entry_dialog.h"

#include <cstdio>

#include "base/text.h"

namespace {
constexpr int kRowSpacing = 5;
}  // namespace

GtkWidget *entry_row(GtkWidget *dialog, const char *label, int value, const char *key) {
  GtkWidget *row = gtk_hbox_new(FALSE, kRowSpacing);
  gtk_box_pack_start(GTK_BOX(row), gtk_label_new(label), FALSE, FALSE, 0);
  GtkWidget *entry = gtk_entry_new();
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  gtk_entry_set_text(GTK_ENTRY(entry), text);
  gtk_box_pack_start(GTK_BOX(row), entry, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row);
  g_object_set_data(G_OBJECT(dialog), key, entry);
  return entry;
}

GtkWidget *dialog_widget(GtkWidget *dialog, const char *key) {
  return GTK_WIDGET(g_object_get_data(G_OBJECT(dialog), key));
}

int entry_number(GtkWidget *entry) { return decimal_prefix(gtk_entry_get_text(GTK_ENTRY(entry))); }

void add_apply(GtkWidget *dialog, GCallback handler) {
  GtkWidget *apply = gtk_button_new_from_stock("gtk-apply");
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_action_area(GTK_DIALOG(dialog))), apply, TRUE,
                     TRUE, 0);
  g_signal_connect(apply, "clicked", handler, dialog);
}
