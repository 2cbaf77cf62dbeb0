// The visible part of the canvas, and repainting it from the cell buffers.
#pragma once

// Clears the canvas drawing area to its background, if it is shown.
void px_clear_canvas_window();
// Asks for a canvas drawing area of the canvas size at the display scale.
void px_size_canvas_area();
// Recomputes the visible cell window from the scroll position and window size.
void px_get_now_adjustment();
// Repaints every visible non-white cell of the picture.
void px_draw_full();
// Removes the shape preview: the cells it covers show the picture again and
// the overlay is emptied.
void px_draw_repaint();
