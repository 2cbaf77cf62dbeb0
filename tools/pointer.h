// Pointer handlers of the canvas and the tool state machine.
#pragma once

#include <gtk/gtk.h>

gboolean button_press_event(GtkWidget *widget, GdkEventButton *event, gpointer data);
gboolean motion_notify_event(GtkWidget *widget, GdkEventMotion *event, gpointer data);
gboolean button_release_event(GtkWidget *widget, GdkEventButton *event, gpointer data);
