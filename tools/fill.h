// Flood fill of the picture.
#pragma once

// Recolours the 4-connected region of cells that have exactly the colour of
// the seed cell (x, y) with (r, g, b). Returns -1 when the seed already has
// that colour, 0 when nothing could be filled (seed off the canvas, or no
// memory for the work list) and 1 after a fill.
int px_paint(int x, int y, int r, int g, int b);
