#include "tools/raster.h"

#include <array>
#include <set>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "support/state.h"

using Cells = std::set<std::array<int, 2>>;

static Cells rects(std::initializer_list<std::array<int, 4>> list) {  // {left, top, right, bottom}
  Cells out;
  for (auto [l, t, r, b] : list)
    for (int y = t; y <= b; y++)
      for (int x = l; x <= r; x++) out.insert({x, y});
  return out;
}

TEST(Raster, ShapesCoverExactlyTheirCells) {
  struct Case { decltype(&px_line) draw; int x1, y1, x2, y2; Cells want; };
  const Cells shallow{{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}};
  const Case cases[] = {
      {px_line, 0, 0, 5, 2, shallow}, {px_line, 5, 2, 0, 0, shallow},
      {px_line, 0, 5, 2, 0, {{2, 0}, {1, 1}, {1, 2}, {0, 3}, {0, 4}, {0, 5}}},
      {px_line, 4, 3, 0, 3, rects({{0, 3, 4, 3}})}, {px_line, 2, 2, 2, 2, {{2, 2}}},
      {px_line, 2, -1, 6, -1, rects({{3, 0, 6, 0}})},  // only the first cell stays on row -1
      {px_box, 4, 3, 1, 1, rects({{1, 1, 4, 1}, {1, 3, 4, 3}, {1, 1, 1, 3}, {4, 1, 4, 3}})},
      {px_circle, 10, 10, 11, 11, rects({{9, 9, 10, 10}})}, {px_circle, 10, 10, 10, 15, {}},
      {px_circle, 3, 3, 0, 0, rects({{0, 0, 5, 0}, {0, 5, 5, 5}, {0, 0, 0, 5}, {5, 0, 5, 5}})},
      {px_circle, 5, 5, 10, 10, rects({{2, 0, 7, 0}, {2, 9, 7, 9}, {0, 2, 0, 7}, {9, 2, 9, 7},
                                       {1, 1, 1, 1}, {8, 1, 8, 1}, {1, 8, 1, 8}, {8, 8, 8, 8}})},
      {px_circle, 25, 5, 45, 6, rects({{6, 4, 23, 5}, {26, 4, 43, 5}})},
      {px_circle, 10, 10, 15, 10, {}},
  };
  for (const Case &c : cases) {  // circles skip cells of now_rgb (black), whatever colour they get
    reset_editor_state(64, 64);
    c.draw(px_cnvs, c.x1, c.y1, c.x2, c.y2, 0, 0, 0);
    if (c.draw == px_circle) px_circle(px_cnvs, c.x1, c.y1, c.x2, c.y2, 1, 1, 1);
    Cells black;
    for (int i = 0; i < 64 * 64; i++)
      if (px_cnvs[3 * i] == 0) black.insert({i % 64, i / 64});
    EXPECT_EQ(black, c.want) << "case " << &c - cases;
  }
}
