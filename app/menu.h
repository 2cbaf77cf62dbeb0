// The main window's menu bar.
#pragma once

#include <gtk/gtk.h>

// Builds the menu bar; attaches a new accelerator group to `window`.
GtkWidget *create_menu();

// View menu "プレビュー": builds the preview window only while it is closed.
void active_preview(GtkMenuItem *item, gpointer data);
