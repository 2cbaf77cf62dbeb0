// The File menu's document commands, the unsaved-changes prompt and quitting.
#pragma once

#include <gtk/gtk.h>

// "activate" callbacks; their arguments are not used.
void cb_new(GtkMenuItem *item = nullptr, gpointer data = nullptr);
void cb_open(GtkMenuItem *item = nullptr, gpointer data = nullptr);
void cb_save(GtkMenuItem *item = nullptr, gpointer data = nullptr);
void cb_saveas(GtkMenuItem *item = nullptr, gpointer data = nullptr);

// Writes the document to now_file_name. Returns 1 when it was written, 0
// when it was not (the status line then says why).
int save();
// Asks for a path and writes the document there; adopts the path only when
// the write succeeded.
void saveas();

// Quit: offers to save unsaved changes, then ends the main loop, unless the
// save that was asked for failed. Also the main window's close request.
gboolean cb_quit();

// A chooser for saving, titled `title`, that confirms before overwriting and
// offers `name`: the one set-up of Save As and the exports.
GtkWidget *px_save_chooser(const char *title, const char *name);
