// Cell colours: three ints, red, green and blue; white is the empty cell.
#pragma once

inline bool px_same_rgb(const int *a, const int *b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

inline bool px_is_white(const int *c) { return c[0] == 255 && c[1] == 255 && c[2] == 255; }
