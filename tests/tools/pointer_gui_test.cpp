#include <gdk/gdkkeysyms.h>
#include <unistd.h>

#include <random>

#include "base/colour.h"
#include "base/globals.h"
#include "base/status.h"
#include "canvas/cells.h"
#include "support/gui.h"
#include "tools/raster.h"
#include "tools/tool_select.h"

using Cells = std::set<std::pair<int, int>>;
static Cells rects(std::initializer_list<std::array<int, 4>> list) {  // {left, top, right, bottom}
  Cells out;
  for (auto [l, t, r, b] : list)
    for (int y = t; y <= b; y++)
      for (int x = l; x <= r; x++) out.insert({x, y});
  return out;
}
static Cells marked(const int *buf = px_cnvs) {
  Cells out;
  for (int i = 0; i < 64 * 64; i++)
    if (!px_is_white(buf + 3 * i)) out.insert({i % 64, i / 64});
  return out;
}
static double at(int cell) { return (cell + .5) * dot_size; }  // events in the middle of cells
static void move(int x, int y) { send_motion(drawing_area, at(x), at(y)); }
static void press(int x, int y, guint b = 1, GdkEventType t = GDK_BUTTON_PRESS) { send_button(drawing_area, t, at(x), at(y), b); }
static void key(int mods) { send_key(window, GDK_KEY_z, GdkModifierType(GDK_CONTROL_MASK | mods)); }  // undo, or redo with Shift
// The picture's cells, the unsaved mark and whether Undo is offered.
static auto state() { return std::tuple(marked(), save_fg, gtk_widget_is_sensitive(find_widget(window, GTK_TYPE_MENU_ITEM, "取り消す(_U)"))); }
static long resident_bytes() {
  long pages = 0, resident = 0;
  if (std::FILE *f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

using Pointer = GuiTest;
using Soak = GuiTest;

TEST_F(Pointer, DotsEdgesStatusPickerAndDoubleClick) {
  press(2, 3), move(3, 3), move(5, 3), press(5, 3, 1, GDK_BUTTON_RELEASE), move(6, 3);  // skips (4, 3)
  EXPECT_EQ(state(), std::tuple(Cells{{2, 3}, {3, 3}, {5, 3}}, 1, 1));
  EXPECT_EQ((key(0), state()), std::tuple(Cells{}, 0, 0));  // the stroke is one action
  key(GDK_SHIFT_MASK), press(2, 3, 3), save_fg = 0;  // the right button paints white
  EXPECT_EQ(marked(), (Cells{{3, 3}, {5, 3}}));
  PrintCapture out;
  move(3, 3), send_button(drawing_area, GDK_BUTTON_PRESS, 640.0, 5, 1);  // past the edge: ignored, yet
  send_motion(drawing_area, 625, 105), send_button(drawing_area, GDK_BUTTON_PRESS, 639.9, 5, 1);  // a drag onto the canvas paints
  EXPECT_EQ(std::tuple(out.text(), save_fg, std::string(px_status_text)),
            std::tuple("now_tool1\n", 1, "   ( X:62 , Y:10 ) 点  top:0 bottom:64 left:0 right:64"));
  px_dot(px_cnvs, 5, 5, 12, 34, 56), px_select_tool(kToolPicker, nullptr), save_fg = 0, press(5, 5);
  EXPECT_EQ(std::tuple(now_rgb[0], now_rgb[1], now_rgb[2], save_fg), std::tuple(12, 34, 56, 0));
  // A double click is press, release, press, double press: a line of one cell, then another starts.
  px_select_tool(kToolLine, nullptr), click(drawing_area, 45, 45), press(4, 4), press(4, 4, 1, GDK_2BUTTON_PRESS);
  EXPECT_EQ(std::tuple(marked(), save_fg, tool_line_start), std::tuple(Cells{{4, 4}, {5, 3}, {5, 5}, {62, 10}, {63, 0}}, 1, 1));
}

// After a scale change: the rasterisers' documented examples, drawn by two clicks with a preview between;
// Ctrl+Z takes back a pending first point alone, then the shape as one action.
TEST_F(Pointer, ShapesTakeTwoClicksWithAPreviewBetween) {
  run("スケールの変更", {"5"});
  const char *names[] = {"", "", "線", "正方形", "長方形", "丸", "楕円"};
  const Cells shallow{{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}};  // truncated, not rounded
  const struct { int tool, x1, y1, x2, y2; Cells shape; } cases[] = {
      {kToolLine, 0, 0, 5, 2, shallow}, {kToolLine, 5, 2, 0, 0, shallow}, {kToolLine, 4, 3, 0, 3, rects({{0, 3, 4, 3}})},
      {kToolLine, 3, 0, 0, 2, {{3, 0}, {2, 0}, {1, 1}, {0, 2}}}, {kToolLine, 0, 5, 2, 0, {{2, 0}, {1, 1}, {1, 2}, {0, 3}, {0, 4}, {0, 5}}},
      {kToolSquare, 4, 4, 4, 2, rects({{4, 2, 6, 2}, {4, 4, 6, 4}, {4, 3, 4, 3}, {6, 3, 6, 3}})},  // opens right and up
      {kToolRect, 4, 3, 1, 1, rects({{1, 1, 4, 1}, {1, 3, 4, 3}, {1, 2, 1, 2}, {4, 2, 4, 2}})},
      {kToolCircle, 10, 10, 11, 10, rects({{9, 9, 10, 10}})}, {kToolCircle, 5, 5, 5, 5, {}},
      {kToolCircle, 10, 10, 7, 12, rects({{7, 7, 12, 7}, {7, 12, 12, 12}, {7, 8, 7, 11}, {12, 8, 12, 11}})},
      {kToolCircle, 10, 10, 15, 10, rects({{7, 5, 12, 5}, {7, 14, 12, 14}, {5, 7, 5, 12}, {14, 7, 14, 12},
                                          {6, 6, 6, 6}, {13, 6, 13, 6}, {6, 13, 6, 13}, {13, 13, 13, 13}})},
      {kToolEllipse, 25, 5, 45, 6, rects({{6, 4, 23, 5}, {26, 4, 43, 5}})},  // flat: the ends fall short
      {kToolEllipse, 10, 10, 12, 15, rects({{8, 5, 8, 14}, {11, 5, 11, 14}, {9, 5, 10, 5}, {9, 14, 10, 14}})},
      {kToolEllipse, 10, 10, 15, 10, {}},
  };
  for (const auto &c : cases) {
    const int n = &c - cases, drawn = !c.shape.empty();
    cnvs_claer_full(), px_select_tool(c.tool, nullptr), save_fg = 0;
    press(c.x1, c.y1), press(c.x1, c.y1, 3), press(c.x1, c.y1), move(40, 40), move(c.x2, c.y2);  // right: forgotten
    EXPECT_EQ(std::tuple(marked(px_cnvs_vtl), state()), std::tuple(c.shape, std::tuple(Cells{}, 0, 1))) << n;
    EXPECT_NE(std::string(px_status_text).find(std::string(" ") + names[c.tool] + "  top:"), std::string::npos) << n;
    press(c.x2, c.y2), press(c.x1, c.y1), move(40, 40), key(0);  // drawn (or an empty change); a new point undone
    EXPECT_EQ(std::tuple(state(), marked(px_cnvs_vtl), tool_line_start + tool_box_start + tool_circle_start),
              std::tuple(std::tuple(c.shape, 1, drawn), Cells{}, 0)) << n;
    const auto undone = (key(0), state()), redone = (key(GDK_SHIFT_MASK), state());
    EXPECT_EQ(std::pair(undone, redone), std::pair(std::tuple(Cells{}, 1 - drawn, 0), std::tuple(c.shape, 1, drawn))) << n;
  }
  cnvs_claer_full(), px_line(px_cnvs, 2, -1, 6, -1, 0, 0, 0);  // the first cell on row -1, the rest just below
  EXPECT_EQ(marked(), rects({{3, 0, 6, 0}}));
}

// KOMA_SOAK_MOTIONS motions (5,000 by default) with shapes pending, some lines drawn, 1,000 undo and redo steps.
TEST_F(Soak, PreviewsAndUndoKeepMemoryFlatAndThePictureRight) {
  const int rounds = (std::getenv("KOMA_SOAK_MOTIONS") ? std::atoi(std::getenv("KOMA_SOAK_MOTIONS")) : 5000) / 50;
  const GPrintFunc traces = g_set_print_handler([](const gchar *) {});  // the circles print a lot
  std::mt19937 rng(5);
  std::vector<std::array<int, 6>> lines;  // completed ones: x0, x1, y, colour; the first `on` are drawn
  std::size_t on = 0;
  [[maybe_unused]] long start = 0;
  for (int round = 0, steps = 0; round < rounds; round++) {
    if (round == rounds / 10) start = resident_bytes();  // once the toolkit's caches are filled
    const int x = 8 + rng() % 48, y = 8 + rng() % 48, x1 = x + rng() % 15 - 7, done = round % 10 == 0;
    px_select_tool(kToolLine + round % 5, nullptr), press(x, y);
    for (int &c : now_rgb) c = rng() % 256;
    for (int m = 0; m < 50; m++) move(x + rng() % 15 - 7, y + rng() % 15 - 7);
    press(done ? x1 : x, y, done ? 1 : 3), move(0, 0);  // a line completed, or the first point forgotten
    if (done) lines.resize(on++), lines.push_back({std::min(x, x1), std::max(x, x1), y, now_rgb[0], now_rgb[1], now_rgb[2]});
    for (; steps < (round + 1) * 1000 / rounds; steps++)  // 1,000 in all
      if (on == lines.size() || (on > 0 && rng() % 2)) key(0), on--;
      else key(GDK_SHIFT_MASK), on++;
    if (round % 100 == 0) pump();
  }
  g_set_print_handler(traces);
  std::vector<int> model(3 * 64 * 64, 255);
  for (std::size_t i = 0; i < on; i++)
    for (int x = lines[i][0]; x <= lines[i][1]; x++) std::copy_n(&lines[i][3], 3, &model[3 * (x + 64 * lines[i][2])]);
  EXPECT_EQ(std::tuple(save_fg, marked(px_cnvs_vtl)), std::tuple(int(on > 0), Cells{}));
  EXPECT_TRUE(std::equal(model.begin(), model.end(), px_cnvs)) << lines.size() << " lines, " << on << " drawn";
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer holds freed blocks back in quarantine
  EXPECT_LE(std::labs(resident_bytes() - start), 2L << 20) << "from " << start;
#endif
}
