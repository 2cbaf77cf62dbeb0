#include "app/file_commands.h"

#include <cstring>

#include "app/load_save.h"
#include "app/recovery.h"
#include "app/size_dialog.h"
#include "base/globals.h"
#include "base/status.h"
#include "base/text.h"
#include "canvas/repaint.h"

namespace {
constexpr const char *kPromptHead = " \"";
constexpr const char *kPromptTail = "\"\nで変更した内容を閉じる前に保存しますか？";
constexpr int kPromptWidth = 550;
constexpr int kPromptHeight = 100;
constexpr const char *kMsgNameTooLong = "ファイル名が長すぎます。";

GtkWindow *parent_window() { return px_main_window ? GTK_WINDOW(px_main_window) : nullptr; }

// Writes to `path` and, only once that worked, makes it the document's name.
bool save_as_path(const char *path) {
  if (std::strlen(path) >= sizeof now_file_name) {
    px_show_failure(kMsgNameTooLong);  // could not be kept as the name for later saves
    return false;
  }
  if (!px_write_document(path)) return false;
  utf8_copy(now_file_name, sizeof now_file_name, path);
  px_set_title(false);
  save_fg = 0;
  start_fg = 0;
  return true;
}

enum class SaveAs { Saved, Cancelled, Failed };

SaveAs run_saveas() {
  g_print("saveas!!\n");
  GtkWidget *chooser = px_save_chooser("名前を付けて保存", now_file_name);
  gtk_widget_show_all(chooser);
  SaveAs result = SaveAs::Cancelled;
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    if (gchar *path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
      g_print("menu save as:%s\n", path);
      result = save_as_path(path) ? SaveAs::Saved : SaveAs::Failed;
      g_free(path);
    }
  }
  gtk_widget_destroy(chooser);
  return result;
}

// The unsaved-changes prompt; it cannot be cancelled. Returns false when
// "Yes" led to a save that failed (not a cancelled Save As chooser): the
// caller then stops, and the document keeps its picture, name and flags.
// Otherwise ends with start_fg 1 and returns true.
bool yesno_dialog() {
  GtkWidget *dialog = gtk_dialog_new_with_buttons(
      "", parent_window(), GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      "gtk-no", GTK_RESPONSE_NO, "gtk-yes", GTK_RESPONSE_YES, nullptr);
  char text[kTextBufSize];
  utf8_fit_between(text, sizeof text, kPromptHead, now_file_name, kPromptTail);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))),
                    gtk_label_new(text));
  gtk_widget_set_size_request(dialog, kPromptWidth, kPromptHeight);
  gtk_widget_show_all(dialog);
  const gint answer = gtk_dialog_run(GTK_DIALOG(dialog));
  bool failed = false;
  if (answer == GTK_RESPONSE_YES) {
    if (start_fg != 1) {
      if (save()) save_fg = 0;
      else failed = true;
    } else if (save_fg == 1) {
      failed = run_saveas() == SaveAs::Failed;  // a cancelled chooser goes on
    }
    g_print("Yes button was pressed.\n");
    gtk_widget_destroy(dialog);
  } else if (answer == GTK_RESPONSE_NO) {
    recovery_discard();  // the changes are given up
    gtk_widget_destroy(dialog);
    g_print("No button was pressed.\n");
  } else {
    g_print("Another response was recieved.\n");
    gtk_widget_destroy(dialog);
  }
  // After a failed save the document stays as it was, unsaved changes and
  // all, with the writer's message on the status line.
  if (failed) return false;
  start_fg = 1;
  return true;
}
}  // namespace

GtkWidget *px_save_chooser(const char *title, const char *name) {
  GtkWidget *chooser = gtk_file_chooser_dialog_new(
      title, parent_window(), GTK_FILE_CHOOSER_ACTION_SAVE, "gtk-cancel", GTK_RESPONSE_CANCEL,
      "gtk-save-as", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
  gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), name);
  return chooser;
}

void cb_new(GtkMenuItem *, gpointer) {
  g_print("newnew!!\n");
  if (save_fg == 1 && !yesno_dialog()) return;
  px_clear_canvas_window();
  cb_change();
  px_start_untitled(false);
}

void cb_open(GtkMenuItem *, gpointer) {
  g_print("open!!\n");
  if (save_fg == 1 && !yesno_dialog()) return;
  GtkWidget *chooser =
      gtk_file_chooser_dialog_new("開く", parent_window(), GTK_FILE_CHOOSER_ACTION_OPEN,
                                  "gtk-cancel", GTK_RESPONSE_CANCEL, "gtk-open",
                                  GTK_RESPONSE_ACCEPT, nullptr);
  gtk_widget_show_all(chooser);
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    if (gchar *name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
      g_print("menu open:%s\n", name);
      px_open(name);
      g_free(name);
    }
  }
  gtk_widget_destroy(chooser);
}

void cb_save(GtkMenuItem *, gpointer) {
  if (start_fg == 1) {
    saveas();
    return;
  }
  if (save()) save_fg = 0;
}

void cb_saveas(GtkMenuItem *, gpointer) { saveas(); }

int save() {
  g_print("save!!\n");
  return px_write_document(now_file_name);
}

void saveas() { run_saveas(); }

gboolean cb_quit() {
  // The prompt offers saving, not cancelling; only a save that failed keeps
  // the program, and the unsaved picture, alive.
  if (save_fg == 1 && !yesno_dialog()) return TRUE;
  recovery_quit();
  if (gtk_main_level() > 0) gtk_main_quit();
  g_print("quit\n");
  // Keep the window: the program ends with the main loop anyway.
  return TRUE;
}
