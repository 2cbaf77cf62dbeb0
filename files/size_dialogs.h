// The canvas-size dialog (run by New) and the display-scale dialog.
#pragma once

#include <gtk/gtk.h>

// Clears the picture and makes it the clean, untitled document, repainted;
// the title carries the size when `size_in_title` is set.
void px_start_untitled(bool size_in_title);
// Builds and runs the canvas-size dialog; returns when its run ends.
void cb_change();
// Apply in the canvas-size dialog: a new white untitled canvas.
void cb_change_button(GtkButton *button = nullptr, gpointer data = nullptr);
// Builds and runs the scale dialog; returns the run's response.
gint cb_change_scale(GtkMenuItem *item = nullptr, gpointer data = nullptr);
// Apply in the scale dialog: the main window is rebuilt at the new scale.
void cb_size_change_button(GtkButton *button = nullptr, gpointer data = nullptr);
