#include "tools/tool_select.h"

#include <gtest/gtest.h>

#include "app/globals.h"
#include "support/capture.h"
#include "support/state.h"

TEST(ToolSelect, NamesEveryToolAndNothingForUnknownCodes) {
  reset_editor_state();
  const std::pair<int, const char *> names[] = {
      {1, "点"}, {2, "線"}, {3, "正方形"}, {4, "長方形"}, {5, "丸"},
      {6, "楕円"}, {7, "塗り"}, {9, "スポイト"}, {8, ""}, {0, ""}, {-1, ""}};
  for (auto [code, name] : names) {
    char buf[kToolNameSize];
    now_tool = code;
    px_get_nowtool_str(buf);
    EXPECT_STREQ(buf, name) << code;
  }
}

TEST(ToolSelect, DrawingToolsClearPendingLinesAndBoxesButNotCircles) {
  reset_editor_state();
  tool_line_start = tool_box_start = tool_circle_start = 1;
  PrintCapture out;
  px_select_tool(kToolRect, "menu box2\n");
  EXPECT_EQ(out.text(), "menu box2\n");
  EXPECT_EQ(now_tool, 4);
  EXPECT_EQ(tool_line_start, 0);
  EXPECT_EQ(tool_box_start, 0);
  EXPECT_EQ(tool_circle_start, 1);
}

TEST(ToolSelect, ColourPickerKeepsPendingShapes) {
  reset_editor_state();
  tool_line_start = tool_box_start = 1;
  px_select_tool(kToolPicker, nullptr);
  EXPECT_EQ(now_tool, 9);
  EXPECT_EQ(tool_line_start, 1);
  EXPECT_EQ(tool_box_start, 1);
}
