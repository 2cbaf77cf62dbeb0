#include "canvas/cells.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/paint.h"
#include "support/capture.h"
#include "support/state.h"

namespace {
std::vector<int> picture() { return {px_cnvs, px_cnvs + 3 * mv_size_widht * mv_size_heigth}; }
std::vector<int> overlay() {
  return {px_cnvs_vtl, px_cnvs_vtl + 3 * mv_size_widht * mv_size_heigth};
}
}  // namespace

TEST(Cells, WritesOutsideTheCanvasChangeNothing) {
  reset_editor_state(64, 32);
  const std::vector<int> before = picture();
  for (auto [x, y] : {std::pair{-1, 0}, {64, 0}, {0, 32}, {0, -1}, {64, 32}})
    EXPECT_EQ(px_dot(px_cnvs, x, y, 1, 2, 3), 0) << x << "," << y;
  EXPECT_EQ(picture(), before);

  int c[3] = {7, 7, 7};
  EXPECT_EQ(px_get_dot(px_cnvs, 64, 0, c), 0);
  EXPECT_EQ(c[0], -1);
  EXPECT_EQ(c[1], -1);
  EXPECT_EQ(c[2], -1);
}

TEST(Cells, ReadsBackWhatWasWrittenIncludingOutOfRangeComponents) {
  reset_editor_state(64, 32);
  px_dot(px_cnvs, 63, 31, -5, 300, 70000);
  px_dot(px_cnvs, 0, 0, 1, 2, 3);
  int c[3];
  ASSERT_EQ(px_get_dot(px_cnvs, 63, 31, c), 1);
  EXPECT_EQ(c[0], -5);
  EXPECT_EQ(c[1], 300);
  EXPECT_EQ(c[2], 70000);
  // Row-major layout: cell (x, y) starts at 3 * (x + y * width).
  EXPECT_EQ(px_cnvs[3 * (63 + 31 * 64) + 2], 70000);
  EXPECT_EQ(px_cnvs[1], 2);
  // The overlay is a buffer of its own.
  ASSERT_EQ(px_get_dot(px_cnvs_vtl, 63, 31, c), 1);
  EXPECT_EQ(c[0], 255);
}

TEST(Cells, ClearMakesBothBuffersWhite) {
  reset_editor_state(10, 7);
  for (int i = 0; i < 10; i++) {
    px_dot(px_cnvs, i, i % 7, 0, 0, 0);
    px_dot(px_cnvs_vtl, 9 - i, i % 7, 9, 9, 9);
  }
  cnvs_claer_full();
  EXPECT_EQ(picture(), std::vector<int>(3 * 70, 255));
  EXPECT_EQ(overlay(), std::vector<int>(3 * 70, 255));
}

TEST(Cells, ZeroCellCanvasIsSafe) {
  PrintCapture out;
  reset_editor_state(0, 5);
  EXPECT_EQ(out.count("error\n"), 2);  // one line per buffer that yields no block
  EXPECT_EQ(mv_size_widht, 0);
  EXPECT_EQ(mv_size_heigth, 5);
  int c[3];
  EXPECT_EQ(px_dot(px_cnvs, 0, 0, 1, 1, 1), 0);
  EXPECT_EQ(px_get_dot(px_cnvs, 0, 0, c), 0);
  cnvs_claer_full();
  px_draw_full();
  px_draw_repaint();
}

TEST(Cells, LargestCanvasIsAddressedToItsLastCell) {
  reset_editor_state(kMaxCanvasSide, kMaxCanvasSide);
  const int last = kMaxCanvasSide - 1;
  px_dot(px_cnvs, last, last, 10, 20, 30);
  EXPECT_EQ(px_dot(px_cnvs, kMaxCanvasSide, last, 0, 0, 0), 0);
  int c[3];
  ASSERT_EQ(px_get_dot(px_cnvs, last, last, c), 1);
  EXPECT_EQ(c[2], 30);
  EXPECT_EQ(px_get_dot(px_cnvs, last, kMaxCanvasSide, c), 0);
  reset_editor_state();
}

#if !defined(__SANITIZE_ADDRESS__)
// In a child process whose address space is capped, the buffers of a large
// canvas cannot be had: the canvas must become empty, never a size without cells.
TEST(Cells, AllocationRefusalLeavesAnEmptyCanvas) {
  reset_editor_state();
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    rlimit lim{256u << 20, 256u << 20};
    setrlimit(RLIMIT_AS, &lim);
    PrintCapture out;
    const int ok = cnvs_allocate(2048, 2048, true, "error");
    int c[3];
    const bool sane = ok == 0 && mv_size_widht == 0 && mv_size_heigth == 0 &&
                      px_cnvs == nullptr && px_dot(px_cnvs, 0, 0, 1, 1, 1) == 0 &&
                      px_get_dot(px_cnvs, 0, 0, c) == 0 && out.count("error\n") >= 1;
    _exit(sane ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif
