#include "canvas/cells.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/colour.h"
#include "base/globals.h"
#include "canvas/history.h"
#include "canvas/view.h"

namespace {
// Overlay cells painted in a colour since the overlay was last emptied.
int vtl_left = 0, vtl_top = 0, vtl_right = -1, vtl_bottom = -1;
// The same cells one by one (cell numbers), while there are not too many:
// a preview is an outline, far fewer cells than its box.
std::vector<std::uint32_t> vtl_cells;
bool vtl_listed = true;
constexpr std::size_t kOverlayListMax = std::size_t(1) << 20;

// One cell buffer of `bytes`, or null. Large buffers ask for huge pages, so
// that touching a large picture for the first time costs a few page faults
// instead of thousands.
int *alloc_cells(std::uint64_t bytes) {
  constexpr std::uint64_t kHugePage = std::uint64_t(2) << 20;
  if (bytes < 2 * kHugePage || bytes > SIZE_MAX) return static_cast<int *>(g_try_malloc(bytes));
  void *p = nullptr;
  if (posix_memalign(&p, kHugePage, bytes) != 0) return nullptr;
  madvise(p, bytes, MADV_HUGEPAGE);  // a hint only; nothing changes if refused
  return static_cast<int *>(p);
}

void free_buffers() {
  g_free(px_cnvs);
  g_free(px_cnvs_vtl);
  px_cnvs = nullptr;
  px_cnvs_vtl = nullptr;
}
}  // namespace

int cnvs_allocate(int w, int h, bool release, const char *error_line) {
  if (release) free_buffers();
  // 144 bytes a cell, in 64-bit arithmetic so that no size can wrap.
  const std::uint64_t bytes = std::uint64_t(144) * std::uint64_t(w) * std::uint64_t(h);
  int *cnvs = alloc_cells(bytes);
  if (!cnvs) g_print("%s\n", error_line);
  int *vtl = alloc_cells(bytes);
  if (!vtl) g_print("%s\n", error_line);
  const bool ok = cnvs && vtl;
  if (!ok && bytes > 0) {
    g_free(cnvs);
    g_free(vtl);
    // The caller still holds the old buffers: the picture, the overlay with
    // its painted box and the undo history stay exactly as they were.
    if (!release) return 0;
    // Out of memory: keep an empty canvas rather than cells without storage.
    cnvs = vtl = nullptr;
    w = h = 0;
  }
  px_cnvs = cnvs;
  px_cnvs_vtl = vtl;
  mv_size_widht = w;
  mv_size_heigth = h;
  cnvs_claer_full();
  return ok ? 1 : 0;
}

int px_dot(int *buf, int x, int y, int r, int g, int b) {
  if (x < 0 || x >= mv_size_widht || y < 0 || y >= mv_size_heigth || !buf) return 0;
  const int cell = x + y * mv_size_widht;
  int *c = buf + 3 * cell;
  const int rgb[3] = {r, g, b};
  if (buf == px_cnvs && !px_same_rgb(c, rgb)) {
    px_cnvs_changes++;
    if (history_recording()) history_record(cell, 1, c, r, g, b);
  }
  c[0] = r;
  c[1] = g;
  c[2] = b;
  if (buf == px_cnvs_vtl && !px_is_white(c)) {
    if (vtl_listed && vtl_cells.size() < kOverlayListMax)
      vtl_cells.push_back(static_cast<std::uint32_t>(cell));
    else
      vtl_listed = false;
    if (vtl_right < vtl_left) {
      vtl_left = vtl_right = x;
      vtl_top = vtl_bottom = y;
    } else {
      if (x < vtl_left) vtl_left = x;
      if (x > vtl_right) vtl_right = x;
      if (y < vtl_top) vtl_top = y;
      if (y > vtl_bottom) vtl_bottom = y;
    }
  }
  if (x < now_window_left || x > now_window_right || y < now_window_top ||
      y > now_window_bottom)
    return 0;
  return view_cell(x, y, r, g, b) ? 1 : 0;
}

void px_dot_run(int *buf, int x0, int x1, int y, int r, int g, int b) {
  if (!buf || y < 0 || y >= mv_size_heigth) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, mv_size_widht - 1);
  if (x0 > x1) return;
  if (buf == px_cnvs_vtl) {  // the overlay keeps track of what it holds cell by cell
    for (int x = x0; x <= x1; x++) px_dot(buf, x, y, r, g, b);
    return;
  }
  const std::size_t row = std::size_t(y) * mv_size_widht;
  int *c = buf + 3 * (row + x0);
  const bool record = buf == px_cnvs && history_recording();
  const int rgb[3] = {r, g, b};
  // Stretches of cells that had one colour are recorded as one change.
  for (int x = x0; x <= x1;) {
    const int old[3] = {c[0], c[1], c[2]};
    int n = 0;
    for (; x + n <= x1 && px_same_rgb(c + 3 * n, old); n++) {
      c[3 * n] = r;
      c[3 * n + 1] = g;
      c[3 * n + 2] = b;
    }
    if (buf == px_cnvs && !px_same_rgb(old, rgb)) {
      px_cnvs_changes++;
      if (record) history_record(row + x, n, old, r, g, b);
    }
    x += n;
    c += 3 * n;
  }
  if (y < now_window_top || y > now_window_bottom) return;
  const int v0 = std::max(x0, now_window_left), v1 = std::min(x1, now_window_right);
  view_row(y, v0, v1, buf + 3 * (row + v0), false);
}

int px_get_dot(int *buf, int x, int y, int *rgb) {
  if (x < 0 || y < 0 || x >= mv_size_widht || y >= mv_size_heigth || !buf) {
    rgb[0] = rgb[1] = rgb[2] = -1;
    return 0;
  }
  const int *c = buf + 3 * (x + y * mv_size_widht);
  rgb[0] = c[0];
  rgb[1] = c[1];
  rgb[2] = c[2];
  return 1;
}

void cnvs_claer_full() {
  if (px_cnvs && px_cnvs_vtl) {
    const long n = 3L * mv_size_widht * mv_size_heigth;
    for (long i = 0; i < n; i++) {
      px_cnvs[i] = 255;
      px_cnvs_vtl[i] = 255;
    }
  }
  cells_overlay_forget();
  history_clear();  // a cleared picture is a new starting point for undo
}

bool cells_overlay_bounds(int *left, int *top, int *right, int *bottom) {
  if (vtl_right < vtl_left) return false;
  *left = vtl_left;
  *top = vtl_top;
  *right = vtl_right;
  *bottom = vtl_bottom;
  return true;
}

const std::vector<std::uint32_t> *cells_overlay_list() { return vtl_listed ? &vtl_cells : nullptr; }

void cells_overlay_forget() {
  vtl_left = vtl_top = 0;
  vtl_right = vtl_bottom = -1;
  vtl_cells.clear();
  vtl_listed = true;
}
