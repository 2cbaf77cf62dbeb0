// The main window's menu bar and the shell's own menu handlers.
#pragma once

#include <gtk/gtk.h>

// Builds the menu bar; attaches a new accelerator group to `window`.
GtkWidget *create_menu();

// Tool menu: each selects its tool (the colour picker without clearing a
// pending shape).
void cb_spoit(GtkMenuItem *item, gpointer data);
void cb_dot(GtkMenuItem *item, gpointer data);
void cb_line(GtkMenuItem *item, gpointer data);
void cb_box(GtkMenuItem *item, gpointer data);
void cb_box2(GtkMenuItem *item, gpointer data);
void cb_circle(GtkMenuItem *item, gpointer data);
void cb_circle2(GtkMenuItem *item, gpointer data);
void cb_paint(GtkMenuItem *item, gpointer data);

// View menu: each builds its window only while it is closed.
void active_tool_bar(GtkMenuItem *item, gpointer data);
void active_color_palet(GtkMenuItem *item, gpointer data);
void active_preview(GtkMenuItem *item, gpointer data);

// Edit menu.
void cb_undo(GtkMenuItem *item, gpointer data);
void cb_redo(GtkMenuItem *item, gpointer data);
