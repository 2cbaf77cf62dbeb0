// A long session: many pointer motions with each shape tool pending, and
// undo and redo, keep the memory flat and the picture right.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/gui.h"
#include "tools/tool_select.h"
#include "tools/undo.h"

namespace {
long resident_bytes() {
  long pages = 0, resident = 0;
  if (std::FILE *f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

void at(GdkEventType type, int x, int y, guint button = 1) {
  send_button(drawing_area, type, x * 10 + 5, y * 10 + 5, button);
}
void move(int x, int y) { send_motion(drawing_area, x * 10 + 5, y * 10 + 5); }

// A completed horizontal line or rectangle outline, in the model.
struct Shape {
  int tool, x0, y0, x1, y1, rgb[3];
};

std::vector<int> model_picture(const std::vector<Shape> &shapes, std::size_t applied) {
  std::vector<int> pic(3 * 64 * 64, 255);
  for (std::size_t i = 0; i < applied; i++) {
    const Shape &s = shapes[i];
    for (int y = std::min(s.y0, s.y1); y <= std::max(s.y0, s.y1); y++)
      for (int x = std::min(s.x0, s.x1); x <= std::max(s.x0, s.x1); x++)
        if (x == s.x0 || x == s.x1 || y == s.y0 || y == s.y1)
          std::copy(s.rgb, s.rgb + 3, pic.begin() + 3 * (x + 64 * y));
  }
  return pic;
}
}  // namespace

using Soak = GuiTest;

// KOMA_SOAK_MOTIONS sets the number of motions (5,000 by default; 100,000 for
// the full run).
TEST_F(Soak, PreviewsAndUndoKeepMemoryFlatAndThePictureRight) {
  const char *env = std::getenv("KOMA_SOAK_MOTIONS");
  const int motions = env ? std::atoi(env) : 5000, per_round = 50, rounds = motions / per_round;
  const int tools[] = {kToolLine, kToolSquare, kToolRect, kToolCircle, kToolEllipse};
  const GPrintFunc traces = g_set_print_handler([](const gchar *) {});  // the circles print a lot
  std::mt19937 rng(5);
  std::vector<Shape> shapes;  // the completed ones; the first `applied` are on the picture
  std::size_t applied = 0;
  [[maybe_unused]] long start = 0;  // the resident memory after the first tenth
  int steps = 0;
  for (int round = 0; round < rounds; round++) {
    if (round == rounds / 10) start = resident_bytes();  // once the toolkit's caches are filled
    const int tool = tools[round % 5], x0 = 8 + rng() % 48, y0 = 8 + rng() % 48;
    px_select_tool(tool, nullptr);
    for (int &c : now_rgb) c = rng() % 256;
    at(GDK_BUTTON_PRESS, x0, y0);
    for (int m = 0; m < per_round; m++) move(x0 + rng() % 15 - 7, y0 + rng() % 15 - 7);
    if (round % 4 == 0 && (tool == kToolLine || tool == kToolRect)) {
      const int x1 = x0 + rng() % 15 - 7, y1 = tool == kToolLine ? y0 : y0 + rng() % 15 - 7;
      at(GDK_BUTTON_PRESS, x1, y1);
      shapes.resize(applied);  // a new action drops what could be redone
      shapes.push_back({tool, x0, y0, x1, y1, {now_rgb[0], now_rgb[1], now_rgb[2]}});
      applied++;
    } else {
      at(GDK_BUTTON_PRESS, x0, y0, 3);  // the right button forgets the first point
    }
    move(0, 0);  // takes the last preview away
    for (; steps < (round + 1) * 1000 / rounds && !shapes.empty(); steps++) {
      if (applied == shapes.size() || (applied > 0 && rng() % 2)) px_undo(), applied--;
      else px_redo(), applied++;
    }
    if (round % 100 == 0) pump();
  }
  g_set_print_handler(traces);
  const std::vector<int> picture(px_cnvs, px_cnvs + 3 * 64 * 64);
  const std::vector<int> overlay(px_cnvs_vtl, px_cnvs_vtl + 3 * 64 * 64);
  EXPECT_EQ(steps, 1000);
  EXPECT_TRUE(picture == model_picture(shapes, applied)) << shapes.size() << " shapes, " << applied << " on";
  EXPECT_TRUE(overlay == std::vector<int>(3 * 64 * 64, 255));
  EXPECT_EQ(save_fg, applied > 0);
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer holds freed blocks back in quarantine
  EXPECT_LE(std::labs(resident_bytes() - start), 2L << 20) << "from " << start;
#endif
}
