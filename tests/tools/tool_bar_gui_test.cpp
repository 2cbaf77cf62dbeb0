#include <tuple>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "support/gui.h"

using ToolBar = GuiTest;

TEST_F(ToolBar, ButtonsSelectTheirToolsAndClosingClearsTheFlag) {
  GtkWidget *column = gtk_bin_get_child(GTK_BIN(tool_bar_window));
  g_autoptr(GList) buttons = gtk_container_get_children(GTK_CONTAINER(column));
  const int tools[] = {9, 1, 2, 3, 4, 5, 6, 7};  // top to bottom
  PrintCapture out;
  for (int i = 0; i < 8; i++) {
    now_tool = 2, tool_line_start = tool_box_start = tool_circle_start = 1;  // all pending
    gtk_button_clicked(GTK_BUTTON(g_list_nth_data(buttons, i)));
    EXPECT_EQ(std::tuple(now_tool, tool_line_start + tool_box_start, tool_circle_start),
              std::tuple(tools[i], tools[i] == 9 ? 2 : 0, 1));  // the picker keeps line and box
  }
  send_delete(tool_bar_window);
  EXPECT_EQ(std::pair(out.text(), tool_bar_view_fg),
            std::pair(std::string("spoit\ndot\nline\nbox\nbox2\ncarcle\ncarcle2\npaint\n"
                                  "tool bar delete_event \n"), 0));
}
