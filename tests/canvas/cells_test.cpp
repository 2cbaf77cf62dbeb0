#include "canvas/cells.h"

#include <sys/resource.h>

#include <vector>

#include <gtest/gtest.h>

#include "base/globals.h"
#include "canvas/repaint.h"
#include "support/support.h"

namespace {
std::vector<int> cells(const int *buf) { return {buf, buf + 3 * mv_size_widht * mv_size_heigth}; }
}  // namespace

TEST(Cells, WritesStayInsideTheCanvasAndReadBackUnchanged) {
  reset_editor_state(64, 32);
  const std::vector<int> white = cells(px_cnvs);
  for (auto [x, y] : {std::pair{-1, 0}, {64, 0}, {0, 32}, {0, -1}}) px_dot(px_cnvs, x, y, 1, 2, 3);
  px_dot_run(px_cnvs, 60, 70, 0, 1, 2, 3);  // a run past the edge stops there
  px_dot_run(px_cnvs, 0, 9, 32, 1, 2, 3);
  int c[3];
  EXPECT_EQ(px_get_dot(px_cnvs, 64, 0, c), 0);
  EXPECT_EQ(std::vector<int>(c, c + 3), std::vector<int>(3, -1));
  px_dot(px_cnvs, 63, 31, -5, 300, 70000);  // stored as given, no clamping
  ASSERT_EQ(px_get_dot(px_cnvs, 63, 31, c), 1);
  EXPECT_EQ(std::vector<int>(c, c + 3), (std::vector<int>{-5, 300, 70000}));
  std::vector<int> want = white;  // row-major, three ints a cell
  for (int x = 60; x < 64; x++) want[3 * x] = 1, want[3 * x + 1] = 2, want[3 * x + 2] = 3;
  want[3 * 2047] = -5, want[3 * 2047 + 1] = 300, want[3 * 2047 + 2] = 70000;
  EXPECT_EQ(cells(px_cnvs), want);
  EXPECT_EQ(cells(px_cnvs_vtl), white);  // the overlay is a buffer of its own
  px_dot(px_cnvs_vtl, 5, 5, 0, 0, 0);
  cnvs_claer_full();
  EXPECT_EQ(cells(px_cnvs), white);
  EXPECT_EQ(cells(px_cnvs_vtl), white);
}

TEST(Cells, CanvasesWithoutCellsTheLargestAndRefusedOnesAreSafe) {
  PrintCapture out;
  reset_editor_state(0, 5);
  EXPECT_EQ(out.count("error\n"), 2);  // one line per buffer that yields no block
  int c[3];
  EXPECT_EQ(px_get_dot(px_cnvs, 0, 0, c), 0);
  px_dot(px_cnvs, 0, 0, 1, 1, 1), px_draw_full(), px_draw_repaint();
  reset_editor_state(kMaxCanvasSide, kMaxCanvasSide);
  px_dot(px_cnvs, kMaxCanvasSide - 1, kMaxCanvasSide - 1, 10, 20, 30);
  EXPECT_TRUE(px_get_dot(px_cnvs, kMaxCanvasSide - 1, kMaxCanvasSide - 1, c) && c[2] == 30);
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer runtime needs the address space
  // Buffers that cannot be had leave an empty canvas, never a size without cells.
  EXPECT_EQ(in_child([] {
    const rlimit lim{256u << 20, 256u << 20};
    setrlimit(RLIMIT_AS, &lim);
    const int ok = cnvs_allocate(2048, 2048, true, "error");
    return std::to_string(ok) + " " + std::to_string(mv_size_widht) + "x" + std::to_string(mv_size_heigth) + (px_cnvs ? " cells" : "");
  }), "0 0x0");
#endif
  reset_editor_state();
}
