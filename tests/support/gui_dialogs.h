// Answering the program's own dialogs from tests (through answer_next_dialog).
#pragma once

#include <string>

#include <gtk/gtk.h>

// Text of the first label inside `dialog`, or "" when it has none.
std::string dialog_label(GtkWidget *dialog);
// Text of the first entry inside `dialog` (a chooser's name field), or "".
std::string dialog_entry(GtkWidget *dialog);
// Chooses `path` in a file chooser and accepts it.
void chooser_accept(GtkWidget *chooser, const std::string &path);
// Types `width` and `height` into the canvas-size dialog and presses Apply.
void size_dialog_apply(GtkWidget *dialog, const char *width, const char *height);
// Types `scale` into the scale dialog and presses Apply.
void scale_dialog_apply(GtkWidget *dialog, const char *scale);
