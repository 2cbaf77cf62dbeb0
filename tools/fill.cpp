#include "tools/fill.h"

#include <new>
#include <vector>

#include <glib.h>

#include "base/colour.h"
#include "base/globals.h"
#include "canvas/cells.h"

namespace {
// Room reserved up front; enough for any fill of a canvas of up to 49999
// cells. Larger canvases grow the list as needed.
constexpr std::size_t kWorkListReserve = 100000;

struct Seed {
  int x, y;
};

// Where each stretch of target-coloured cells of `row` between columns
// first and last (exclusive) begins; nothing for a row off the canvas.
void stretch_starts(int y, int first, int last, const int *t, std::vector<int> &starts) {
  starts.clear();
  if (y < 0 || y >= mv_size_heigth) return;
  const int *c = px_cnvs + 3 * (std::size_t(y) * mv_size_widht + first);
  for (int x = first; x < last;) {
    for (; x < last && !px_same_rgb(c, t); x++) c += 3;
    if (x == last) break;
    starts.push_back(x);
    for (; x < last && px_same_rgb(c, t); x++) c += 3;
  }
}

// Scanline fill from the seed; the list is a stack, last in first out. Each
// run is looked along above and below, then written in one go. Going along
// the run, a stretch above is pushed before a stretch below that begins at
// the same cell, so it is taken after it.
void fill_runs(std::vector<Seed> &list, int x, int y, const int *t, int r, int g, int b) {
  std::vector<int> above, below;
  list.push_back({x, y});
  while (!list.empty()) {
    const Seed s = list.back();
    list.pop_back();
    const int *row = px_cnvs + 3 * (std::size_t(s.y) * mv_size_widht);
    int first = s.x;
    while (first >= 0 && px_same_rgb(row + 3 * first, t)) first--;
    first++;
    int last = first;
    while (last < mv_size_widht && px_same_rgb(row + 3 * last, t)) last++;
    if (last == first) continue;
    stretch_starts(s.y - 1, first, last, t, above);
    stretch_starts(s.y + 1, first, last, t, below);
    for (std::size_t i = 0, j = 0; i < above.size() || j < below.size();) {
      if (j == below.size() || (i < above.size() && above[i] <= below[j]))
        list.push_back({above[i++], s.y - 1});
      else
        list.push_back({below[j++], s.y + 1});
    }
    px_dot_run(px_cnvs, first, last - 1, s.y, r, g, b);
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
  int target[3];
  if (!px_get_dot(px_cnvs, x, y, target)) return 0;  // nothing to fill off the canvas
  const int rgb[3] = {r, g, b};
  if (px_same_rgb(target, rgb)) return -1;
  try {
    fill_runs(list, x, y, target, r, g, b);
  } catch (const std::bad_alloc &) {
    // The list could not grow: the fill stops where it was.
    g_print("error px_paint\n");
    return 0;
  }
  return 1;
}
