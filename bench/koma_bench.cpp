// Benchmarks of the program's own operations at three canvas sizes, without
// a display: widget handles stay null, so nothing is painted.
#include <cstdint>
#include <string>

#include <benchmark/benchmark.h>
#include <glib.h>
#include <glib/gstdio.h>

#include "app/file_commands.h"
#include "app/load_save.h"
#include "base/globals.h"
#include "bench/bench_pictures.h"
#include "canvas/cells.h"
#include "canvas/repaint.h"
#include "files/bmp_write.h"
#include "files/document.h"
#include "tools/fill.h"
#include "tools/pointer.h"
#include "tools/tool_select.h"

namespace {

std::string scratch(const char *name) {
  static std::string dir;
  if (dir.empty()) {
    gchar *d = g_dir_make_tmp("koma-bench-XXXXXX", nullptr);
    dir = d;
    g_free(d);
  }
  return dir + "/" + name;
}

void set_visible_window(int w, int h) {
  now_window_left = now_window_top = 0;
  now_window_right = w - 1;
  now_window_bottom = h - 1;
}

void BM_Open(benchmark::State &state) {
  const int side = state.range(0);
  const std::string path = scratch("open.koma");
  const std::string text = bench_koma_text(side, side);
  g_file_set_contents(path.c_str(), text.data(), text.size(), nullptr);
  for (auto _ : state) px_open(path.c_str());
  state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_Save(benchmark::State &state) {
  const int side = state.range(0);
  bench_random_picture(side, side);
  const std::string path = scratch("save.koma");
  g_strlcpy(now_file_name, path.c_str(), sizeof now_file_name);
  for (auto _ : state) benchmark::DoNotOptimize(save());
}

void BM_ExportBmp(benchmark::State &state) {
  const int side = state.range(0);
  bench_random_picture(side, side);
  const std::string path = scratch("export.bmp");
  for (auto _ : state) {
    std::uint32_t *pixels = koma2int32(px_cnvs);
    bmp_write(path.c_str(), mv_size_widht, mv_size_heigth, pixels);
    g_free(pixels);
  }
}

// Fills the whole one-coloured canvas, alternating between two colours.
void BM_FillWholeCanvas(benchmark::State &state) {
  const int side = state.range(0);
  bench_random_picture(side, side);
  cnvs_claer_full();
  int colour = 0;
  for (auto _ : state) {
    px_paint(side / 2, side / 2, colour, 0, 0);
    colour = colour == 0 ? 255 : 0;
  }
  state.SetItemsProcessed(state.iterations() * side * side);
}

// What every fill is measured against: each cell written once, nothing else.
void BM_PlainLoopWritesEveryCell(benchmark::State &state) {
  const int side = state.range(0);
  bench_random_picture(side, side);
  int colour = 0;
  for (auto _ : state) {
    int *c = px_cnvs;
    for (int i = 0; i < side * side; i++, c += 3) {
      c[0] = colour;
      c[1] = 0;
      c[2] = 0;
    }
    benchmark::ClobberMemory();
    colour ^= 1;
  }
  state.SetItemsProcessed(state.iterations() * side * side);
}

void BM_DrawFull(benchmark::State &state) {
  const int side = state.range(0);
  bench_random_picture(side, side);
  set_visible_window(64, 64);  // the default window shows 64 x 64 cells
  for (auto _ : state) px_draw_full();
}

// One pointer motion into another cell while a shape is pending: status
// readout, erasing the previous preview, drawing the new one.
template <int kTool>
void BM_MotionWithPending(benchmark::State &state) {
  const int side = state.range(0);
  bench_random_picture(side, side);
  set_visible_window(64, 64);
  now_tool = kTool;
  tool_line_start = tool_circle_start = 1;
  line_x = line_y = box_x = box_y = 2;
  GdkEventMotion ev{};
  ev.type = GDK_MOTION_NOTIFY;
  int step = 0;
  for (auto _ : state) {
    ev.x = 300 + (step & 1) * 10;  // alternate between two cells 30 cells away
    ev.y = 250;
    step++;
    motion_notify_event(nullptr, &ev, nullptr);
  }
  tool_line_start = tool_circle_start = 0;
}

}  // namespace

#define KOMA_SIZES ->Arg(64)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Open) KOMA_SIZES;
BENCHMARK(BM_Save) KOMA_SIZES;
BENCHMARK(BM_ExportBmp) KOMA_SIZES;
BENCHMARK(BM_FillWholeCanvas) KOMA_SIZES;
BENCHMARK(BM_PlainLoopWritesEveryCell) KOMA_SIZES;
BENCHMARK(BM_DrawFull)->Arg(64)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_MotionWithPending, kToolLine)
    ->Arg(64)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_MotionWithPending, kToolEllipse)
    ->Arg(64)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv) {
  bench_discard_traces();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
