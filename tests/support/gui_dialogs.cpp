#include "support/gui_dialogs.h"

#include "app/globals.h"
#include "support/gui.h"

std::string dialog_label(GtkWidget *dialog) {
  GtkWidget *label = find_widget(dialog, GTK_TYPE_LABEL);
  return label ? gtk_label_get_text(GTK_LABEL(label)) : "";
}

std::string dialog_entry(GtkWidget *dialog) {
  GtkWidget *entry = find_widget(dialog, GTK_TYPE_ENTRY);
  return entry ? gtk_entry_get_text(GTK_ENTRY(entry)) : "";
}

void chooser_accept(GtkWidget *chooser, const std::string &path) {
  GtkFileChooser *fc = GTK_FILE_CHOOSER(chooser);
  if (gtk_file_chooser_get_action(fc) == GTK_FILE_CHOOSER_ACTION_SAVE) {
    // Typed into the name field as a whole path: changing the folder first
    // would leave the answer waiting for the folder to load.
    gtk_file_chooser_set_current_name(fc, path.c_str());
    gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
    return;
  }
  // An open chooser refuses to answer until the file is selected, which
  // happens once its folder has loaded.
  struct Pending {
    GtkWidget *chooser;
    std::string path;
    int ticks;
  };
  gtk_file_chooser_set_filename(fc, path.c_str());
  g_timeout_add(
      25,
      [](gpointer data) -> gboolean {
        auto *p = static_cast<Pending *>(data);
        gchar *now = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(p->chooser));
        const bool ready = now && p->path == now;
        g_free(now);
        if (!ready && ++p->ticks < 400) return TRUE;
        gtk_dialog_response(GTK_DIALOG(p->chooser),
                            ready ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
        delete p;
        return FALSE;
      },
      new Pending{chooser, path, 0});
}

void size_dialog_apply(GtkWidget *dialog, const char *width, const char *height) {
  gtk_entry_set_text(GTK_ENTRY(entry_width), width);
  gtk_entry_set_text(GTK_ENTRY(entry_height), height);
  gtk_button_clicked(GTK_BUTTON(find_widget(dialog, GTK_TYPE_BUTTON, "gtk-apply")));
}

void scale_dialog_apply(GtkWidget *dialog, const char *scale) {
  gtk_entry_set_text(GTK_ENTRY(entry_size), scale);
  gtk_button_clicked(GTK_BUTTON(find_widget(dialog, GTK_TYPE_BUTTON, "gtk-apply")));
}
