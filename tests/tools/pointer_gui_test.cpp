#include "tools/pointer.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/gui.h"
#include "tools/tool_select.h"

namespace {
using Cell = std::pair<int, int>;
using Cells = std::vector<Cell>;

Cells sorted(Cells c) {
  std::sort(c.begin(), c.end());
  return c;
}

// Non-white cells of a buffer, sorted.
Cells marked(const int *buf) {
  Cells out;
  for (int y = 0; y < mv_size_heigth; y++)
    for (int x = 0; x < mv_size_widht; x++)
      if (!px_is_white(buf + 3 * (x + y * mv_size_widht))) out.push_back({x, y});
  return sorted(out);
}

Cells box_outline(int x1, int y1, int x2, int y2) {
  Cells out;
  for (int y = y1; y <= y2; y++)
    for (int x = x1; x <= x2; x++)
      if (x == x1 || x == x2 || y == y1 || y == y2) out.push_back({x, y});
  return sorted(out);
}

std::vector<int> colour_at(const int *buf, int x, int y) {
  const int *c = buf + 3 * (x + y * mv_size_widht);
  return {c[0], c[1], c[2]};
}

int channel(guint32 c, int shift) { return (c >> shift) & 0xFF; }

void set_colour(int r, int g, int b) {
  now_rgb[0] = r;
  now_rgb[1] = g;
  now_rgb[2] = b;
}

// The drawing area's events, addressed by cell (pointer in the middle of it).
class Pointer : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    // The motion handler remembers the last cell across tests: leave it on a
    // cell that no test uses first, so that the next move is a cell change.
    send_motion(drawing_area, 635, 635);
    pump();
  }
  static double mid(int cell) { return cell * 10 + 5; }
  void move(int x, int y) { send_motion(drawing_area, mid(x), mid(y)); }
  void press(int x, int y, guint button = 1) {
    send_button(drawing_area, GDK_BUTTON_PRESS, mid(x), mid(y), button);
  }
  void release(int x, int y, guint button = 1) {
    send_button(drawing_area, GDK_BUTTON_RELEASE, mid(x), mid(y), button);
  }
  void click_cell(int x, int y, guint button = 1) { click(drawing_area, mid(x), mid(y), button); }
  // Colour of the top edge of a cell's frame on the screen.
  guint32 frame(int x, int y) {
    pump();
    return pixel_at(drawing_area, x * 10 + 5, y * 10);
  }
};
}  // namespace

TEST_F(Pointer, DotToolPaintsWhileAButtonIsHeld) {
  set_colour(200, 0, 0);
  PrintCapture out;
  press(2, 3);
  EXPECT_EQ(m_b_e, 1);
  EXPECT_EQ(save_fg, 1);
  EXPECT_EQ(out.text(), "now_tool1\n");
  move(3, 3);
  move(5, 3);  // the cell skipped on the way stays white
  release(5, 3);
  EXPECT_EQ(m_b_e, -1);
  move(6, 3);
  EXPECT_EQ(marked(px_cnvs), (Cells{{2, 3}, {3, 3}, {5, 3}}));
  EXPECT_GT(channel(frame(3, 3), 16), 150);
  EXPECT_LT(channel(frame(3, 3), 8), 80);

  // The right button paints white, by press and by drag.
  save_fg = 0;
  press(2, 3, 3);
  EXPECT_EQ(m_b_e, 3);
  EXPECT_EQ(save_fg, 1);
  move(3, 3);
  release(3, 3, 3);
  EXPECT_EQ(m_b_e, -3);
  EXPECT_EQ(marked(px_cnvs), (Cells{{5, 3}}));
}

TEST_F(Pointer, PressesPastTheRightOrBottomEdgeAreIgnored) {
  struct Case {
    double x, y;
    bool acts;
    Cell cell;
  };
  const Case cases[] = {
      {639.9, 5, true, {63, 0}},  {640.0, 5, false, {}},  {5, 639.9, true, {0, 63}},
      {5, 640.0, false, {}},      {700, 300, false, {}},  {0, 0, true, {0, 0}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    cnvs_claer_full();
    save_fg = 0;
    m_b_e = 0;
    PrintCapture out;
    send_button(drawing_area, GDK_BUTTON_PRESS, c.x, c.y, 1);
    EXPECT_EQ(m_b_e, 1);  // set also by an ignored press
    if (c.acts) {
      EXPECT_EQ(marked(px_cnvs), Cells{c.cell});
      EXPECT_EQ(out.text(), "now_tool1\n");
      EXPECT_EQ(save_fg, 1);
    } else {
      EXPECT_EQ(marked(px_cnvs), Cells{});
      EXPECT_EQ(out.text(), "");
      EXPECT_EQ(save_fg, 0);
    }
    send_button(drawing_area, GDK_BUTTON_RELEASE, c.x, c.y, 1);
  }
}

TEST_F(Pointer, PressBeyondTheCanvasThenDragOntoItPaints) {
  send_button(drawing_area, GDK_BUTTON_PRESS, 655, 105, 1);
  EXPECT_EQ(marked(px_cnvs), Cells{});
  send_motion(drawing_area, 645, 105);  // still off the canvas: dropped
  send_motion(drawing_area, 625, 105);
  EXPECT_EQ(marked(px_cnvs), (Cells{{62, 10}}));
  EXPECT_EQ(save_fg, 1);
  // Dragged out past the left edge, the pointer still truncates to column 0.
  send_motion(drawing_area, -9.5, 115);
  EXPECT_EQ(marked(px_cnvs), (Cells{{0, 11}, {62, 10}}));
}

// The tool acts only when the pointer left the cell of the last stored
// position; the status line follows the cell regardless.
TEST_F(Pointer, ToolWaitsWhileTheStoredPositionIsInTheSameCell) {
  m_b_e = 1;
  px_old_x = 301;
  px_old_y = 309;
  send_motion(drawing_area, 305.7, 302.2);
  EXPECT_EQ(marked(px_cnvs), Cells{});
  EXPECT_NE(std::string(px_status_text).find("( X:30 , Y:30 )"), std::string::npos);
  EXPECT_EQ(px_old_x, 305);
  EXPECT_EQ(px_old_y, 302);
  send_motion(drawing_area, 315, 302);
  EXPECT_EQ(marked(px_cnvs), (Cells{{31, 30}}));
}

TEST_F(Pointer, MiddleButtonDoesNothingButTrace) {
  for (int tool : {1, 2, 3, 4, 5, 6, 7, 9}) {
    SCOPED_TRACE(tool);
    now_tool = tool;
    set_colour(1, 2, 3);
    PrintCapture out;
    click_cell(4, 4, 2);
    EXPECT_EQ(out.text(), "now_tool" + std::to_string(tool) + "\n");
    EXPECT_EQ(marked(px_cnvs), Cells{});
    EXPECT_EQ(tool_line_start + tool_box_start + tool_circle_start, 0);
    EXPECT_EQ(now_rgb[0], 1);
    EXPECT_EQ(save_fg, 0);
  }
}

// Each shape: a first click, a preview in the overlay that follows the
// pointer while the picture stays as it was, then the shape on the second click.
TEST_F(Pointer, ShapesPreviewBetweenTheirTwoClicks) {
  Cells flat;  // ellipse round (25, 5) with semi-axes 20 and 1
  for (int y : {4, 5})
    for (int x = 6; x <= 43; x++)
      if (x < 24 || x > 25) flat.push_back({x, y});
  struct Case {
    const char *name;
    int tool;
    Cell first, second;
    Cells shape;
  };
  const Case cases[] = {
      {"line", 2, {2, 2}, {6, 4}, {{2, 2}, {3, 2}, {4, 3}, {5, 3}, {6, 4}}},
      {"square down right", 3, {10, 10}, {12, 15}, box_outline(10, 10, 15, 15)},
      {"square down left", 3, {10, 10}, {7, 12}, box_outline(7, 10, 10, 13)},
      {"square up left", 3, {10, 10}, {9, 6}, box_outline(6, 6, 10, 10)},
      {"square straight down", 3, {10, 10}, {10, 14}, box_outline(10, 10, 14, 14)},
      {"square straight right", 3, {10, 10}, {13, 10}, box_outline(10, 10, 13, 13)},
      {"rectangle", 4, {13, 12}, {10, 10}, box_outline(10, 10, 13, 12)},
      {"circle", 5, {20, 20}, {23, 18}, box_outline(17, 17, 22, 22)},
      {"ellipse", 6, {25, 5}, {45, 6}, sorted(flat)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    cnvs_claer_full();
    px_select_tool(c.tool, nullptr);
    set_colour(0, 0, 200);
    save_fg = 0;
    PrintCapture out;
    move(c.first.first, c.first.second);
    click_cell(c.first.first, c.first.second);
    EXPECT_EQ(save_fg, 0);
    // A detour first: its preview must be gone once the pointer moves on.
    move(40, 40);
    EXPECT_NE(marked(px_cnvs_vtl), Cells{});
    move(c.second.first, c.second.second);
    EXPECT_EQ(marked(px_cnvs_vtl), c.shape);
    EXPECT_EQ(marked(px_cnvs), Cells{});
    const Cell probe = c.shape.front();
    EXPECT_GT(channel(frame(probe.first, probe.second), 0), 150);
    EXPECT_LT(channel(frame(probe.first, probe.second), 16), 80);

    click_cell(c.second.first, c.second.second);
    EXPECT_EQ(marked(px_cnvs), c.shape);
    EXPECT_EQ(save_fg, 1);
    EXPECT_EQ(tool_line_start + tool_box_start + tool_circle_start, 0);
    EXPECT_EQ(out.count("now_tool" + std::to_string(c.tool) + "\n"), 2);
    move(0, 40);  // takes the last preview away
    EXPECT_EQ(marked(px_cnvs_vtl), Cells{});
  }
}

TEST_F(Pointer, RightClickCancelsAPendingLine) {
  px_select_tool(kToolLine, nullptr);
  set_colour(0, 150, 0);
  click_cell(2, 2);
  move(6, 4);
  const Cells preview = marked(px_cnvs_vtl);
  ASSERT_EQ(preview.size(), 5u);
  click_cell(6, 4, 3);
  EXPECT_EQ(tool_line_start, 0);
  // The preview stays, on the screen too, until the pointer changes cell.
  EXPECT_EQ(marked(px_cnvs_vtl), preview);
  EXPECT_GT(channel(frame(6, 4), 8), 100);
  move(7, 4);
  EXPECT_EQ(marked(px_cnvs_vtl), Cells{});
  EXPECT_EQ(marked(px_cnvs), Cells{});
  EXPECT_EQ(save_fg, 0);
  // The next left click starts a new line where it falls.
  click_cell(7, 4);
  EXPECT_EQ(tool_line_start, 1);
  EXPECT_EQ(line_x, 7);
  EXPECT_EQ(line_y, 4);
}

TEST_F(Pointer, CircleOfRadiusZeroDrawsNothingButMarksTheChange) {
  px_select_tool(kToolCircle, nullptr);
  PrintCapture out;
  click_cell(20, 20);
  click_cell(20, 20);
  EXPECT_EQ(marked(px_cnvs), Cells{});
  EXPECT_EQ(save_fg, 1);
  EXPECT_EQ(tool_circle_start, 0);
  EXPECT_EQ(out.text(),
            "now_tool5\ncircle la:0.000000,lb:0.000000 , x1:20 , x2:20 , y1:20 , y2:20\n"
            "now_tool5\n");
}

TEST_F(Pointer, PendingCentreOutlivesAToolChangeAndSharesItsPoint) {
  px_select_tool(kToolCircle, nullptr);
  click_cell(20, 20);
  px_select_tool(kToolRect, nullptr);
  click_cell(10, 10);  // moves the pending centre as well
  EXPECT_EQ(tool_box_start, 1);
  px_select_tool(kToolEllipse, nullptr);
  EXPECT_EQ(tool_box_start, 0);
  EXPECT_EQ(tool_circle_start, 1);
  PrintCapture out;
  click_cell(13, 12);
  EXPECT_EQ(out.text(),
            "circle la:3.000000,lb:2.000000 , x1:10 , x2:13 , y1:10 , y2:12\nnow_tool6\n");
  EXPECT_EQ(save_fg, 1);
  EXPECT_NE(marked(px_cnvs), Cells{});
}

TEST_F(Pointer, DoubleClickOnTheLineToolDrawsOneCellAndStartsAgain) {
  px_select_tool(kToolLine, nullptr);
  PrintCapture out;
  const double x = mid(4), y = mid(4);
  send_button(drawing_area, GDK_BUTTON_PRESS, x, y, 1);
  send_button(drawing_area, GDK_BUTTON_RELEASE, x, y, 1);
  send_button(drawing_area, GDK_BUTTON_PRESS, x, y, 1);
  EXPECT_EQ(marked(px_cnvs), (Cells{{4, 4}}));
  EXPECT_EQ(save_fg, 1);
  send_button(drawing_area, GDK_2BUTTON_PRESS, x, y, 1);
  send_button(drawing_area, GDK_BUTTON_RELEASE, x, y, 1);
  EXPECT_EQ(tool_line_start, 1);
  EXPECT_EQ(line_x, 4);
  EXPECT_EQ(line_y, 4);
  EXPECT_EQ(out.count("now_tool2\n"), 3);
}

TEST_F(Pointer, FillAndPickerActOnTheLeftButtonOnly) {
  px_dot(px_cnvs, 5, 5, 12, 34, 56);
  now_tool = kToolFill;
  set_colour(0, 0, 0);
  PrintCapture out;
  click_cell(30, 30, 3);
  EXPECT_EQ(save_fg, 0);
  click_cell(30, 30);
  EXPECT_EQ(out.text(), "now_tool7\nstart paint\nnow_tool7\n");
  EXPECT_EQ(marked(px_cnvs).size(), 4096u);
  EXPECT_EQ(colour_at(px_cnvs, 5, 5), (std::vector<int>{12, 34, 56}));
  EXPECT_EQ(save_fg, 1);
  // A fill that finds nothing to do still counts as a change.
  save_fg = 0;
  click_cell(30, 30);
  EXPECT_EQ(save_fg, 1);

  px_select_tool(kToolPicker, nullptr);
  out.clear();
  for (int saved : {0, 1}) {
    save_fg = saved;
    set_colour(0, 0, 0);
    click_cell(5, 5, 3);
    EXPECT_EQ(now_rgb[0], 0);
    click_cell(5, 5);
    EXPECT_EQ(std::vector<int>(now_rgb, now_rgb + 3), (std::vector<int>{12, 34, 56}));
    EXPECT_EQ(save_fg, saved);
  }
  EXPECT_EQ(out.text(), "now_tool9\nstart spoit\nnow_tool9\nnow_tool9\nstart spoit\nnow_tool9\n");
}

TEST_F(Pointer, StatusLineFollowsThePointerCell) {
  now_tool = kToolCircle;
  send_motion(drawing_area, 123.7, 45.2);
  EXPECT_EQ(now_window_left, 0);
  EXPECT_EQ(now_window_top, 0);
  EXPECT_GE(now_window_right, 63);
  EXPECT_GE(now_window_bottom, 63);
  char want[kTextBufSize];
  g_snprintf(want, sizeof want, "   ( X:12 , Y:4 ) 丸  top:0 bottom:%d left:0 right:%d",
             now_window_bottom, now_window_right);
  EXPECT_STREQ(px_status_text, want);
  // Within the same cell the line is left alone.
  g_strlcpy(px_status_text, "unchanged", sizeof px_status_text);
  send_motion(drawing_area, 129.9, 40.0);
  EXPECT_STREQ(px_status_text, "unchanged");
  // Off the canvas the readout still shows the pointer's cell.
  now_tool = 8;
  send_motion(drawing_area, 705, 12);
  g_snprintf(want, sizeof want, "   ( X:70 , Y:1 )   top:0 bottom:%d left:0 right:%d",
             now_window_bottom, now_window_right);
  EXPECT_STREQ(px_status_text, want);
}

TEST_F(Pointer, EveryMotionCountsTowardsAFullRepaint) {
  // A cell stored without being painted shows only after a full repaint.
  const guint32 bg = frame(8, 8);
  const int keep = now_window_right;
  now_window_right = -1;
  px_dot(px_cnvs, 8, 8, 0, 0, 255);
  now_window_right = keep;
  tz = 0;
  for (int i = 0; i < 601; i++) send_motion(drawing_area, 305, 305);
  EXPECT_EQ(tz, 601);
  EXPECT_EQ(frame(8, 8), bg);
  send_motion(drawing_area, 306, 305);  // the 602nd
  EXPECT_EQ(tz, 0);
  EXPECT_GT(channel(frame(8, 8), 0), 150);
}
