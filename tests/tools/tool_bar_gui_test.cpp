#include "tools/tool_bar.h"

#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "support/gui.h"

namespace {

struct Row {
  int tool;
  const char *trace;
};
// Top to bottom, as the window shows them.
const Row kRows[] = {{9, "spoit\n"}, {1, "dot\n"},     {2, "line\n"},    {3, "box\n"},
                     {4, "box2\n"},  {5, "carcle\n"}, {6, "carcle2\n"}, {7, "paint\n"}};
constexpr int kLineButton = 2;

std::vector<GtkWidget *> tool_buttons() {
  std::vector<GtkWidget *> out;
  GtkWidget *box = gtk_bin_get_child(GTK_BIN(tool_bar_window));
  if (!GTK_IS_VBOX(box)) return out;
  GList *kids = gtk_container_get_children(GTK_CONTAINER(box));
  for (GList *l = kids; l; l = l->next) out.push_back(GTK_WIDGET(l->data));
  g_list_free(kids);
  return out;
}

}  // namespace

using ToolBar = GuiTest;

TEST_F(ToolBar, IsAColumnOfEightPictureButtons) {
  ASSERT_NE(tool_bar_window, nullptr);
  EXPECT_EQ(tool_bar_view_fg, 1);
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(tool_bar_window)), "TOOL");
  gint w, h;
  gtk_window_get_default_size(GTK_WINDOW(tool_bar_window), &w, &h);
  EXPECT_EQ(w, 140);
  EXPECT_EQ(h, 700);
  GtkWindowPosition pos;
  g_object_get(tool_bar_window, "window-position", &pos, nullptr);
  EXPECT_EQ(pos, GTK_WIN_POS_CENTER_ON_PARENT);
  GtkWidget *box = gtk_bin_get_child(GTK_BIN(tool_bar_window));
  ASSERT_TRUE(GTK_IS_VBOX(box));
  EXPECT_TRUE(gtk_box_get_homogeneous(GTK_BOX(box)));
  EXPECT_EQ(gtk_box_get_spacing(GTK_BOX(box)), 0);
  const std::vector<GtkWidget *> buttons = tool_buttons();
  ASSERT_EQ(buttons.size(), 8u);
  for (GtkWidget *b : buttons) {
    ASSERT_TRUE(GTK_IS_BUTTON(b));
    gboolean expand, fill;
    guint padding;
    GtkPackType pack;
    gtk_box_query_child_packing(GTK_BOX(box), b, &expand, &fill, &padding, &pack);
    EXPECT_TRUE(expand && fill);
    EXPECT_EQ(padding, 0u);
    // The picture was loaded: a missing file would leave the stock placeholder.
    GtkWidget *image = gtk_bin_get_child(GTK_BIN(b));
    ASSERT_TRUE(GTK_IS_IMAGE(image));
    EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(image)), GTK_IMAGE_PIXBUF);
  }
}

TEST_F(ToolBar, EveryButtonSelectsItsToolAndPrintsItsTrace) {
  const std::vector<GtkWidget *> buttons = tool_buttons();
  ASSERT_EQ(buttons.size(), 8u);
  for (int i = 0; i < 8; i++) {
    now_tool = 8;  // no tool has this code
    PrintCapture out;
    gtk_button_clicked(GTK_BUTTON(buttons[i]));
    EXPECT_EQ(now_tool, kRows[i].tool) << i;
    EXPECT_EQ(out.text(), kRows[i].trace) << i;
    gtk_button_clicked(GTK_BUTTON(buttons[i]));  // a second click changes nothing more
    EXPECT_EQ(now_tool, kRows[i].tool) << i;
    EXPECT_EQ(out.count(kRows[i].trace), 2) << i;
  }
}

TEST_F(ToolBar, LineButtonCancelsAPendingLineButCirclesStayPending) {
  const std::vector<GtkWidget *> buttons = tool_buttons();
  ASSERT_EQ(buttons.size(), 8u);
  now_tool = 2;
  tool_line_start = 1;
  gtk_button_clicked(GTK_BUTTON(buttons[kLineButton]));
  EXPECT_EQ(now_tool, 2);
  EXPECT_EQ(tool_line_start, 0);
  for (int i = 0; i < 8; i++) {
    tool_circle_start = 1;
    tool_box_start = 1;
    gtk_button_clicked(GTK_BUTTON(buttons[i]));
    EXPECT_EQ(tool_circle_start, 1) << i;
    // Only the colour picker leaves a pending box alone.
    EXPECT_EQ(tool_box_start, kRows[i].tool == 9 ? 1 : 0) << i;
  }
}

TEST_F(ToolBar, ClosingClearsTheFlagAndKeepsTheTool) {
  now_tool = 6;
  GtkWidget *old = tool_bar_window;
  g_object_add_weak_pointer(G_OBJECT(old), reinterpret_cast<gpointer *>(&old));
  {
    PrintCapture out;
    send_delete(tool_bar_window);
    pump();
    EXPECT_EQ(out.count("tool bar delete_event \n"), 1);
  }
  EXPECT_EQ(tool_bar_view_fg, 0);
  EXPECT_EQ(old, nullptr);
  EXPECT_EQ(now_tool, 6);
  // Built again, as the View menu does, it is a fresh window that works.
  create_tool_bar();
  pump();
  ASSERT_NE(tool_bar_window, nullptr);
  gint w, h;
  gtk_window_get_default_size(GTK_WINDOW(tool_bar_window), &w, &h);
  EXPECT_EQ(w, 140);
  EXPECT_EQ(h, 700);
  const std::vector<GtkWidget *> buttons = tool_buttons();
  ASSERT_EQ(buttons.size(), 8u);
  gtk_button_clicked(GTK_BUTTON(buttons[1]));
  EXPECT_EQ(now_tool, 1);
}
