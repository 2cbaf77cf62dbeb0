// The screen image of the canvas: what the visible part of the canvas
// drawing area shows, kept in the program's memory. Cells are composited
// into it exactly as the X server would draw their strokes, and what changed
// is sent to the server in one image per event instead of eight strokes per
// cell. Nothing happens while there is no drawing area on the screen.
#pragma once

#include <gtk/gtk.h>

// Composites cell (x, y) painted in r, g, b over what the screen shows there.
// False when the canvas is not on the screen.
bool view_cell(int x, int y, int r, int g, int b);
// Composites cells x0 to x1 of row y, whose colours are `cells` (three ints
// each), one after the other as view_cell does; white cells are left out
// when `skip_white` is set.
void view_row(int y, int x0, int x1, const int *cells, bool skip_white);
// The visible part of the drawing area shows its background again.
void view_clear();

// Painting done between begin and end reaches the screen at the outermost
// end, as one image. Painting outside any batch is sent at once.
void view_batch_begin();
void view_batch_end();
struct ViewBatch {
  ViewBatch() { view_batch_begin(); }
  ~ViewBatch() { view_batch_end(); }
  ViewBatch(const ViewBatch &) = delete;
  ViewBatch &operator=(const ViewBatch &) = delete;
};

// An exposure: until view_expose_end, painting reaches only `region` (in
// drawing-area coordinates), which starts out as the background.
void view_expose_begin(const GdkRegion *region);
void view_expose_end();

// The cells whose painting can change a pixel that painting may reach now
// (the exposed region, or the whole visible image), inclusive; false when
// there are none.
bool view_reachable_cells(int *x0, int *y0, int *x1, int *y1);

// Called with every cell composited, in painting order; for tests that
// draw the same cells the slow way and compare the screens.
void view_set_observer(void (*observer)(int x, int y, int r, int g, int b));
