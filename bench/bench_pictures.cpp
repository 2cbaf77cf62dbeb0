#include "bench/bench_pictures.h"

#include <cstdio>
#include <random>

#include <glib.h>

#include "base/globals.h"
#include "base/text.h"
#include "canvas/cells.h"

namespace {
template <typename Fn>
void each_colour(int w, int h, unsigned seed, Fn fn) {
  std::mt19937 rng(seed);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const unsigned v = rng();
      fn(x, y, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
    }
}
}  // namespace

void bench_random_picture(int w, int h, unsigned seed) {
  utf8_copy(now_file_name, sizeof now_file_name, kUntitledName);
  cnvs_allocate(w, h, px_cnvs != nullptr, "error");
  each_colour(w, h, seed, [](int x, int y, int r, int g, int b) { px_dot(px_cnvs, x, y, r, g, b); });
}

std::string bench_koma_text(int w, int h, unsigned seed) {
  std::string s = "koma1.0\n" + std::to_string(w) + " x " + std::to_string(h) + "\n";
  char line[48];
  each_colour(w, h, seed, [&](int, int, int r, int g, int b) {
    s.append(line, std::snprintf(line, sizeof line, "%d,%d,%d\n", r, g, b));
  });
  return s;
}

std::string bench_ppm_text(int w, int h, unsigned seed) {
  std::string s = "P3\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  char line[48];
  each_colour(w, h, seed, [&](int, int, int r, int g, int b) {
    s.append(line, std::snprintf(line, sizeof line, "%d %d %d\n", r, g, b));
  });
  return s;
}

void bench_discard_traces() {
  g_set_print_handler([](const gchar *) {});
}
