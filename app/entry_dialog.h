// The build shared by the canvas-size and scale dialogs: rows of a label and
// an entry, and one Apply button.
#pragma once

#include <gtk/gtk.h>

// Adds a row "label [entry]" preset with `value` to the dialog and keeps the
// entry under `key`. Returns the entry.
GtkWidget *entry_row(GtkWidget *dialog, const char *label, int value, const char *key);
// The widget kept under `key`.
GtkWidget *dialog_widget(GtkWidget *dialog, const char *key);
// The decimal prefix of the entry's text.
int entry_number(GtkWidget *entry);
// Adds the Apply button, whose "clicked" handler receives the dialog as its
// data, so that it acts on that dialog even when a newer one of the same
// kind was opened meanwhile.
void add_apply(GtkWidget *dialog, GCallback handler);
