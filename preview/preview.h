// The preview window: the picture at one screen pixel per cell.
#pragma once

#include <gtk/gtk.h>

// Writes the picture to a temporary BMP and builds and shows a new preview
// window from it in preview_window. Leaves preview_fg alone.
void preview();
// "clicked" of the "更新" button: replaces the window by one of the current
// picture and marks the preview open.
void btn_preview_update(GtkButton *button, gpointer data);
// "destroy" of the preview window: marks the preview closed.
void Preview_destroy(GtkWidget *widget, gpointer data);
