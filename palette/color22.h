// The palette: a fixed table of 10 x 22 default colours and the window that
// shows it as swatches and hands the clicked colour to the drawing tools.
#pragma once

#include <gtk/gtk.h>

// Table. Entry (x, y) is column x, row y; components are 0 to 255.

// Stores entry (x, y), each component truncated toward zero. Returns 1, or 0
// (nothing written) when there is no table or (x, y) lies outside the grid.
int pl_set_one(int x, int y, double r, double g, double b);
// Reads entry (x, y) into r, g, b and returns 1; returns 0 and leaves the
// outputs untouched outside the grid or when there is no table.
int pl_get_one(int x, int y, int *r, int *g, int *b);
// Fills every entry with the default colours.
void pl_set();
// Creates and fills the table on first use. False when it cannot be allocated.
bool pl_ensure_table();

// Window.

// Builds and shows the palette window "PALET"; the caller sets its view flag.
void create_color_palet();
gboolean color_palet_delete_event(GtkWidget *widget, GdkEvent *event, gpointer data);
gboolean cp_Draw(GtkWidget *widget, GdkEventExpose *event, gpointer data);
// Paints all swatches into the drawing area.
void px_draw_pl(GtkWidget *area);
// Makes the clicked swatch's colour the current colour.
gboolean pl_button_press_event(GtkWidget *widget, GdkEventButton *event, gpointer data);
