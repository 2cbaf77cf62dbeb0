// The main window's menu bar and the shell's own menu handlers.
#pragma once

#include <gtk/gtk.h>

// Builds the menu bar; attaches its accelerator group to `window`.
GtkWidget *create_menu();
