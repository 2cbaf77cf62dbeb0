#include "tools/fill.h"

#include <new>
#include <vector>

#include <glib.h>

#include "app/globals.h"
#include "canvas/cells.h"

namespace {
// Room reserved up front; enough for any fill of a canvas of up to 49999
// cells. Larger canvases grow the list as needed.
constexpr std::size_t kWorkListReserve = 100000;

struct Seed {
  int x, y;
};

struct Colour {
  int r, g, b;
};

// True for a cell on the canvas whose colour is exactly `t`. Cells off the
// canvas never match, whatever colours the picture holds. Read straight from
// the picture: a fill reads every cell of its region several times.
bool has_colour(int x, int y, const Colour &t) {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(mv_size_widht) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(mv_size_heigth))
    return false;
  const int *c = px_cnvs + 3 * (x + y * mv_size_widht);
  return c[0] == t.r && c[1] == t.g && c[2] == t.b;
}

// Pushes the first cell of each stretch of target-coloured cells met next to
// the run; `open` stays set while such a stretch goes on.
void look_beside(std::vector<Seed> &list, int x, int y, const Colour &t, bool &open) {
  if (has_colour(x, y, t)) {
    if (!open) list.push_back({x, y});
    open = true;
  } else {
    open = false;
  }
}

// Scanline fill from the seed; the list is a stack, last in first out. Each
// run is looked along above and below, then written in one go.
void fill_runs(std::vector<Seed> &list, int x, int y, const Colour &t, int r, int g, int b) {
  list.push_back({x, y});
  while (!list.empty()) {
    Seed s = list.back();
    list.pop_back();
    bool upper = false, lower = false;
    int cx = s.x;
    while (has_colour(cx, s.y, t)) cx--;
    const int first = ++cx;
    for (; has_colour(cx, s.y, t); cx++) {
      look_beside(list, cx, s.y - 1, t, upper);
      look_beside(list, cx, s.y + 1, t, lower);
    }
    if (cx > first) px_dot_run(px_cnvs, first, cx - 1, s.y, r, g, b);
  }
}
}  // namespace

int px_paint(int x, int y, int r, int g, int b) {
  std::vector<Seed> list;
  try {
    list.reserve(kWorkListReserve);
  } catch (const std::bad_alloc &) {
    g_print("error px_paint\n");
    return 0;
  }
  int c[3];
  if (!px_get_dot(px_cnvs, x, y, c)) return 0;  // nothing to fill off the canvas
  if (c[0] == r && c[1] == g && c[2] == b) return -1;
  try {
    fill_runs(list, x, y, Colour{c[0], c[1], c[2]}, r, g, b);
  } catch (const std::bad_alloc &) {
    // The list could not grow: the fill stops where it was.
    g_print("error px_paint\n");
    return 0;
  }
  return 1;
}
