// Shape rasterisers: lines, box outlines, circle and ellipse outlines.
// Every cell goes through px_dot, so cells off the canvas are dropped and
// visible cells are painted as they are written.
#pragma once

// |a - b|.
int get_l(int a, int b);
// The cells of the line from (x1, y1) to (x2, y2), one per column or row.
void px_line(int *buf, int x1, int y1, int x2, int y2, int r, int g, int b);
// The outline of the box with opposite corners (x1, y1) and (x2, y2).
void px_box(int *buf, int x1, int y1, int x2, int y2, int r, int g, int b);
// The outline of the ellipse centred on the top-left corner of cell (x1, y1)
// with semi-axes |x2 - x1| and |y2 - y1|. Cells that already hold now_rgb
// are not written again.
void px_circle(int *buf, int x1, int y1, int x2, int y2, int r, int g, int b);
