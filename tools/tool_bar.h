// The tool-bar window: one picture button per drawing tool.
#pragma once

#include <gtk/gtk.h>

// Builds and shows the window "TOOL"; the caller sets its view flag.
void create_tool_bar();
gboolean tool_bar_delete_event(GtkWidget *widget, GdkEvent *event, gpointer data);

// "clicked" handlers of the buttons, top to bottom.
void btn_spoit(GtkWidget *button, gpointer data);
void btn_dot(GtkWidget *button, gpointer data);
void btn_line(GtkWidget *button, gpointer data);
void btn_box(GtkWidget *button, gpointer data);
void btn_box2(GtkWidget *button, gpointer data);
void btn_carcle(GtkWidget *button, gpointer data);
void btn_carcle2(GtkWidget *button, gpointer data);
void btn_paint(GtkWidget *button, gpointer data);
