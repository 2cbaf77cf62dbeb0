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
std::vector<int> cells(const int *buf) { return {buf, buf + 3 * mv_size_widht * mv_size_heigth}; }
}  // namespace

TEST(Cells, WritesStayInsideTheCanvasAndReadBackUnchanged) {
  reset_editor_state(64, 32);
  const std::vector<int> white = cells(px_cnvs);
  for (auto [x, y] : {std::pair{-1, 0}, {64, 0}, {0, 32}, {0, -1}}) px_dot(px_cnvs, x, y, 1, 2, 3);
  EXPECT_EQ(cells(px_cnvs), white);
  int c[3];
  EXPECT_EQ(px_get_dot(px_cnvs, 64, 0, c), 0);
  EXPECT_EQ(std::vector<int>(c, c + 3), std::vector<int>(3, -1));
  px_dot(px_cnvs, 63, 31, -5, 300, 70000);  // stored as given, no clamping
  ASSERT_EQ(px_get_dot(px_cnvs, 63, 31, c), 1);
  EXPECT_EQ(std::vector<int>(c, c + 3), (std::vector<int>{-5, 300, 70000}));
  EXPECT_EQ(px_cnvs[3 * (63 + 31 * 64) + 2], 70000);  // row-major, three ints a cell
  EXPECT_EQ(cells(px_cnvs_vtl), white);                 // the overlay is a buffer of its own
  px_dot(px_cnvs_vtl, 5, 5, 0, 0, 0);
  cnvs_claer_full();
  EXPECT_EQ(cells(px_cnvs), white);
  EXPECT_EQ(cells(px_cnvs_vtl), white);
}

TEST(Cells, ZeroCellAndLargestCanvasesAreSafe) {
  PrintCapture out;
  reset_editor_state(0, 5);
  EXPECT_EQ(out.count("error\n"), 2);  // one line per buffer that yields no block
  int c[3];
  EXPECT_EQ(px_get_dot(px_cnvs, 0, 0, c), 0);
  px_dot(px_cnvs, 0, 0, 1, 1, 1);
  px_draw_full();
  px_draw_repaint();
  reset_editor_state(kMaxCanvasSide, kMaxCanvasSide);
  const int last = kMaxCanvasSide - 1;
  px_dot(px_cnvs, last, last, 10, 20, 30);
  ASSERT_EQ(px_get_dot(px_cnvs, last, last, c), 1);
  EXPECT_EQ(c[2], 30);
  EXPECT_EQ(px_get_dot(px_cnvs, last, kMaxCanvasSide, c), 0);
  reset_editor_state();
}

#if !defined(__SANITIZE_ADDRESS__)
// With the address space capped, the buffers of a large canvas cannot be
// had: the canvas must become empty, never a size without cells.
TEST(Cells, AllocationRefusalLeavesAnEmptyCanvas) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    rlimit lim{256u << 20, 256u << 20};
    setrlimit(RLIMIT_AS, &lim);
    const int ok = cnvs_allocate(2048, 2048, true, "error");
    int c[3];
    _exit(ok == 0 && mv_size_widht == 0 && mv_size_heigth == 0 && !px_cnvs &&
                  px_get_dot(px_cnvs, 0, 0, c) == 0
              ? 0
              : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif
