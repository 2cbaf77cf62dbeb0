// The main window: canvas, status line, title, quit.
#pragma once

#include <cstddef>

#include <gtk/gtk.h>

// Builds and shows the main window and sets window, drawing_area,
// g_scroll_window, statas_area and px_main_window.
void crate_main_window();
// Exposure of the canvas: full repaint of the visible cells.
gboolean Main_View_Draw(GtkWidget *widget, GdkEventExpose *event, gpointer data);
// Destruction of the main window: a trace only.
void destroy(GtkWidget *widget, gpointer data);
// Quit: offers to save unsaved changes, then ends the main loop, unless the
// save that was asked for failed.
gboolean cb_quit();
// Shows a text on the status line.
void px_error(const char *text);

// Builds "KOMA ver 1.0:" + now_file_name, with the size suffix when
// `with_size` is set, into buf (cut between UTF-8 characters to fit).
void px_make_title(char *buf, std::size_t size, bool with_size);
// Sets that title on px_main_window, if there is one.
void px_set_title(bool with_size);
