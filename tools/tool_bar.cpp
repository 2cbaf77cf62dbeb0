#include "tools/tool_bar.h"

#include <gtk/gtk.h>

#include "base/data_files.h"
#include "base/globals.h"
#include "tools/tool_select.h"

namespace {

constexpr int kToolBarWidth = 140;
constexpr int kToolBarHeight = 700;

gboolean tool_bar_delete_event(GtkWidget *, GdkEvent *, gpointer) {
  g_print("tool bar delete_event \n");
  tool_bar_view_fg = 0;
  return FALSE;
}

void btn_spoit(GtkWidget *, gpointer) { px_select_tool(kToolPicker, "spoit\n"); }
void btn_dot(GtkWidget *, gpointer) { px_select_tool(kToolDot, "dot\n"); }
void btn_line(GtkWidget *, gpointer) { px_select_tool(kToolLine, "line\n"); }
void btn_box(GtkWidget *, gpointer) { px_select_tool(kToolSquare, "box\n"); }
void btn_box2(GtkWidget *, gpointer) { px_select_tool(kToolRect, "box2\n"); }
void btn_carcle(GtkWidget *, gpointer) { px_select_tool(kToolCircle, "carcle\n"); }
void btn_carcle2(GtkWidget *, gpointer) { px_select_tool(kToolEllipse, "carcle2\n"); }
void btn_paint(GtkWidget *, gpointer) { px_select_tool(kToolFill, "paint\n"); }

struct ToolButton {
  const char *image;  // found by px_image_path
  void (*handler)(GtkWidget *, gpointer);
};

const ToolButton kButtons[] = {
    {"supoit.png", btn_spoit}, {"dot.png", btn_dot},       {"line.png", btn_line},
    {"box.png", btn_box},      {"box2.png", btn_box2},     {"maru.png", btn_carcle},
    {"maru2.png", btn_carcle2}, {"nuri.png", btn_paint},
};

}  // namespace

void create_tool_bar() {
  tool_bar_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(tool_bar_window), "TOOL");
  gtk_window_set_default_size(GTK_WINDOW(tool_bar_window), kToolBarWidth, kToolBarHeight);
  gtk_window_set_position(GTK_WINDOW(tool_bar_window), GTK_WIN_POS_CENTER_ON_PARENT);
  g_signal_connect(tool_bar_window, "delete_event", G_CALLBACK(tool_bar_delete_event),
                   nullptr);

  GtkWidget *box = gtk_vbox_new(TRUE, 0);
  gtk_container_add(GTK_CONTAINER(tool_bar_window), box);
  for (const ToolButton &b : kButtons) {
    GtkWidget *button = gtk_button_new();
    // A missing file leaves the toolkit's broken-image picture; the button still works.
    GtkWidget *image = gtk_image_new_from_file(px_image_path(b.image).c_str());
    gtk_container_add(GTK_CONTAINER(button), image);
    gtk_box_pack_start(GTK_BOX(box), button, TRUE, TRUE, 0);
    g_signal_connect(button, "clicked", G_CALLBACK(b.handler), nullptr);
  }
  gtk_widget_show_all(tool_bar_window);
}
