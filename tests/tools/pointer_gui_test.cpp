#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/gui.h"
#include "tools/tool_select.h"

using Cells = std::set<std::pair<int, int>>;
using Pointer = GuiTest;

static Cells marked(const int *buf) {
  Cells out;
  for (int i = 0; i < mv_size_widht * mv_size_heigth; i++)
    if (!px_is_white(buf + 3 * i)) out.insert({i % mv_size_widht, i / mv_size_widht});
  return out;
}
// Events in the middle of cell (x, y).
static void move(int x, int y) { send_motion(drawing_area, x * 10 + 5, y * 10 + 5); }
static void press(int x, int y, guint button = 1, GdkEventType type = GDK_BUTTON_PRESS) {
  send_button(drawing_area, type, x * 10 + 5, y * 10 + 5, button);
}

TEST_F(Pointer, DotsEdgesStatusPickerAndDoubleClick) {
  press(2, 3);
  EXPECT_EQ(std::pair(marked(px_cnvs), save_fg), std::pair(Cells{{2, 3}}, 1));
  move(3, 3), move(5, 3);  // skipping (4, 3)
  press(5, 3, 1, GDK_BUTTON_RELEASE), move(6, 3), save_fg = 0;
  press(2, 3, 3);  // the right button paints white
  EXPECT_EQ(std::pair(marked(px_cnvs), save_fg), std::pair(Cells{{3, 3}, {5, 3}}, 1));
  move(3, 3), save_fg = 0;
  PrintCapture out;
  send_button(drawing_area, GDK_BUTTON_PRESS, 640.0, 5, 1);  // past the edge: ignored, yet
  send_motion(drawing_area, 625, 105);  // a drag from there onto the canvas paints
  EXPECT_EQ(save_fg, 1);
  send_button(drawing_area, GDK_BUTTON_PRESS, 639.9, 5, 1);
  EXPECT_EQ(out.text(), "now_tool1\n");
  EXPECT_STREQ(px_status_text, "   ( X:62 , Y:10 ) 点  top:0 bottom:64 left:0 right:64");
  px_dot(px_cnvs, 5, 5, 12, 34, 56), px_select_tool(kToolPicker, nullptr), save_fg = 0;
  press(5, 5);
  EXPECT_EQ(std::tuple(now_rgb[0], now_rgb[1], now_rgb[2], save_fg), std::tuple(12, 34, 56, 0));
  // A double click is press, release, press, double press: a line of one cell, then another starts.
  px_select_tool(kToolLine, nullptr), click(drawing_area, 45, 45);
  press(4, 4), press(4, 4, 1, GDK_2BUTTON_PRESS);
  EXPECT_EQ(std::tuple(marked(px_cnvs), save_fg, tool_line_start),
            std::tuple(Cells{{4, 4}, {5, 3}, {5, 5}, {62, 10}, {63, 0}}, 1, 1));
}

TEST_F(Pointer, ShapesTakeTwoClicksAndPreviewInTheOverlayBetween) {
  struct Case { int tool, x1, y1, x2, y2; Cells shape; };
  const Case cases[] = {
      {kToolLine, 2, 2, 6, 4, {{2, 2}, {3, 2}, {4, 3}, {5, 3}, {6, 4}}},
      {kToolSquare, 4, 4, 3, 6, {{2, 4}, {3, 4}, {4, 4}, {2, 5}, {4, 5}, {2, 6}, {3, 6}, {4, 6}}},
      {kToolRect, 5, 5, 4, 3, {{4, 3}, {5, 3}, {4, 4}, {5, 4}, {4, 5}, {5, 5}}},
      {kToolCircle, 5, 5, 6, 5, {{4, 4}, {5, 4}, {4, 5}, {5, 5}}}, {kToolCircle, 5, 5, 5, 5, {}},
      {kToolEllipse, 5, 5, 7, 6, {{3, 4}, {4, 4}, {5, 4}, {6, 4}, {3, 5}, {4, 5}, {5, 5}, {6, 5}}},
  };
  for (const Case &c : cases) {
    cnvs_claer_full(), px_select_tool(c.tool, nullptr), save_fg = 0;
    press(c.x1, c.y1), press(c.x1, c.y1, 3);  // the right button forgets the first point
    press(c.x1, c.y1), move(40, 40), move(c.x2, c.y2);  // the detour's preview must go
    EXPECT_EQ(std::tuple(marked(px_cnvs_vtl), marked(px_cnvs), save_fg),
              std::tuple(c.shape, Cells{}, 0)) << c.tool;
    press(c.x2, c.y2);  // a circle of radius 0 draws nothing, yet counts as a change
    const int pending = tool_line_start + tool_box_start + tool_circle_start;
    EXPECT_EQ(std::tuple(marked(px_cnvs), save_fg, pending), std::tuple(c.shape, 1, 0)) << c.tool;
  }
}

TEST(ToolSelect, NamesEveryToolAndNothingForOtherCodes) {
  const char *names[] = {"",     "点",   "線", "正方形",   "長方形", "丸",
                         "楕円", "塗り", "",   "スポイト", ""};
  char buf[kToolNameSize];
  for (now_tool = 0; now_tool <= 10; now_tool++)
    EXPECT_STREQ((px_get_nowtool_str(buf), buf), names[now_tool]) << now_tool;
}
