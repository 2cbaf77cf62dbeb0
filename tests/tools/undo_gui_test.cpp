#include "tools/undo.h"

#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/history.h"
#include "support/gui.h"
#include "tools/tool_select.h"

namespace {
std::vector<int> picture() { return {px_cnvs, px_cnvs + 3 * mv_size_widht * mv_size_heigth}; }
void press(double x, double y) { send_button(drawing_area, GDK_BUTTON_PRESS, x, y, 1); }
}  // namespace

using Undo = GuiTest;

// Every kind of action drawn with real pointer events is taken back and
// redone exactly, one action per undo.
TEST_F(Undo, EachKindOfActionIsOneStep) {
  now_rgb[0] = 200;
  std::vector<std::vector<int>> states{picture()};
  click(drawing_area, 105, 105);
  states.push_back(picture());
  now_rgb[1] = 90;
  send_button(drawing_area, GDK_BUTTON_PRESS, 15, 15, 1);  // a stroke over (1, 1) twice
  for (double x : {25, 35, 25, 15, 45}) send_motion(drawing_area, x, 15);
  send_button(drawing_area, GDK_BUTTON_RELEASE, 45, 15, 1);
  states.push_back(picture());
  for (int tool : {kToolLine, kToolSquare, kToolRect, kToolCircle, kToolEllipse}) {
    px_select_tool(tool, nullptr);
    now_rgb[2] += 40;
    press(205, 205);
    send_motion(drawing_area, 305, 255);
    press(305, 255);
    states.push_back(picture());
  }
  px_select_tool(kToolFill, nullptr);
  press(5, 600);
  states.push_back(picture());
  for (std::size_t i = 1; i < states.size(); i++) EXPECT_NE(states[i], states[i - 1]) << i;
  for (std::size_t i = states.size() - 1; i > 0; i--) {
    px_undo();
    EXPECT_EQ(picture(), states[i - 1]) << i;
  }
  EXPECT_EQ(save_fg, 0);
  EXPECT_FALSE(history_can_undo());
  for (std::size_t i = 1; i < states.size(); i++) {
    px_redo();
    EXPECT_EQ(picture(), states[i]) << i;
  }
  EXPECT_EQ(save_fg, 1);
}
