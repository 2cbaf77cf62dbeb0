// How cells are painted into the main window's canvas.
#pragma once

#include <memory>

#include <gtk/gtk.h>

// A cairo context that is released when it goes out of scope.
using CairoPtr = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// A context on the window of `widget`, or an empty pointer when the widget
// is missing or not realised (nothing is painted then).
CairoPtr cairo_for(GtkWidget *widget);

// Widths of a cell's white rim strokes and of its coloured strokes.
constexpr double kRimWidth = 1.8;
constexpr double kColourWidth = 1.5;
// Adds the four strokes along the edges of the cell whose corners are
// (x1, y1) and (x2, y2) to the path of `cr`.
void px_cell_strokes(cairo_t *cr, double x1, double y1, double x2, double y2);
// Draws one cell as four white strokes, then four strokes in its colour.
void px_draw_box(cairo_t *cr, double x1, double y1, double x2, double y2, int r,
                 int g, int b);
// Clears the canvas drawing area to its background, if it is shown.
void px_clear_canvas_window();
// Asks for a canvas drawing area of the canvas size at the display scale.
void px_size_canvas_area();
// Recomputes the visible cell window from the scroll position and window size.
void px_get_now_adjustment();
// Repaints every visible non-white cell of the picture.
void px_draw_full();
// Takes the preview in the overlay off the screen and empties the overlay.
void px_draw_repaint();
