// The File menu's document commands and the unsaved-changes prompt.
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
// Offers to save unsaved changes; cannot be cancelled. Returns false when
// "Yes" led to a save that failed (not a cancelled Save As chooser): the
// caller then stops, and the document keeps its picture, name and flags.
// Otherwise ends with start_fg 1 and returns true.
bool yesno_dialog();
