#include "tools/tool_bar.h"

#include <tuple>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "support/gui.h"

using ToolBar = GuiTest;

TEST_F(ToolBar, ButtonsSelectTheirToolsAndClosingClearsTheFlag) {
  const struct { int tool; const char *trace; } rows[] = {
      {9, "spoit\n"}, {1, "dot\n"}, {2, "line\n"}, {3, "box\n"}, {4, "box2\n"}, {5, "carcle\n"},
      {6, "carcle2\n"}, {7, "paint\n"}};
  GList *buttons =
      gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(tool_bar_window))));
  for (int i = 0; i < 8; i++) {
    now_tool = 2;  // the line tool, with a line, a box and a circle centre pending
    tool_line_start = tool_box_start = tool_circle_start = 1;
    PrintCapture out;
    gtk_button_clicked(GTK_BUTTON(g_list_nth_data(buttons, i)));
    // All but the picker forget the pending line and box; the circle centre stays.
    EXPECT_EQ(std::tuple(out.text(), now_tool, tool_line_start + tool_box_start, tool_circle_start),
              std::tuple(rows[i].trace, rows[i].tool, rows[i].tool == 9 ? 2 : 0, 1));
  }
  g_list_free(buttons);
  PrintCapture out;
  send_delete(tool_bar_window);
  EXPECT_EQ(std::tuple(out.text(), tool_bar_view_fg), std::tuple("tool bar delete_event \n", 0));
}
