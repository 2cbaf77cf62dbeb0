// The display-scale dialog of the View menu.
#pragma once

#include <gtk/gtk.h>

// Builds and runs the scale dialog; returns the run's response. Apply
// rebuilds the main window at the entered scale, kept within 2 to 10.
gint cb_change_scale(GtkMenuItem *item = nullptr, gpointer data = nullptr);
