#include "tools/undo.h"

#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/history.h"
#include "support/gui.h"
#include "tools/tool_select.h"

using Undo = GuiTest;

static std::vector<int> canvas() { return {px_cnvs, px_cnvs + 3 * mv_size_widht * mv_size_heigth}; }

TEST_F(Undo, EachKindOfActionIsOneStep) {
  std::vector<std::vector<int>> pics{canvas()}, undone, redone;
  for (int tool :
       {kToolFill, kToolDot, kToolLine, kToolSquare, kToolRect, kToolCircle, kToolEllipse}) {
    px_select_tool(tool, nullptr), now_rgb[2] += 40;  // a new colour for each
    send_button(drawing_area, GDK_BUTTON_PRESS, 25, 25, 1);
    for (int x : {35, 45, 35, 25, 95}) send_motion(drawing_area, x, 65);  // (3, 6) twice
    // Ends the stroke or completes the shape; a second fill in the same colour changes nothing.
    send_button(drawing_area, tool == kToolDot ? GDK_BUTTON_RELEASE : GDK_BUTTON_PRESS, 95, 65, 1);
    EXPECT_NE(canvas(), pics.back()) << tool;
    pics.push_back(canvas());
  }
  for (int i = 0; i < 9 && history_can_undo(); i++) px_undo(), undone.push_back(canvas());
  EXPECT_EQ(std::pair(undone, save_fg), std::pair(std::vector(pics.rbegin() + 1, pics.rend()), 0));
  for (int i = 0; i < 9 && history_can_redo(); i++) px_redo(), redone.push_back(canvas());
  EXPECT_EQ(std::pair(redone, save_fg), std::pair(std::vector(pics.begin() + 1, pics.end()), 1));
}
