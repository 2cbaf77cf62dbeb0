// The two cell buffers (picture and overlay) and the single-cell operations.
#pragma once

#include <cstdint>
#include <vector>

// Allocates both buffers for a w x h canvas (144 bytes per cell, of which
// the 12 of its three ints are used), after releasing the old buffers when
// `release` is set; stores the new size and clears them to white. An
// allocation that yields no block prints `error_line`. If a canvas with
// cells cannot be allocated, the canvas becomes 0 x 0 when `release` is set,
// so that no cell is ever addressed outside a buffer; without `release`
// nothing changes (size, buffers, overlay, history), the caller keeping the
// old buffers. Returns 1 when both blocks came back.
int cnvs_allocate(int w, int h, bool release, const char *error_line);

// Writes one cell of `buf` and paints it at once when it is visible.
int px_dot(int *buf, int x, int y, int r, int g, int b);
// Writes cells x0 to x1 of row y as px_dot does one after the other, but
// without the per-cell work where nothing is painted or recorded.
void px_dot_run(int *buf, int x0, int x1, int y, int r, int g, int b);
// Reads one cell; outside the canvas yields -1, -1, -1 and returns 0.
int px_get_dot(int *buf, int x, int y, int *rgb);
// Clears both buffers to white; paints nothing.
void cnvs_claer_full();

// Bounding box of the overlay cells written with a colour other than white
// since the overlay was last emptied. Returns false when there are none.
bool cells_overlay_bounds(int *left, int *top, int *right, int *bottom);
// The numbers (x + y * width) of those cells in the order written, with
// repeats, or null when there were too many to list (the box then holds).
const std::vector<std::uint32_t> *cells_overlay_list();
// Forgets that box (called once the overlay is white again).
void cells_overlay_forget();
