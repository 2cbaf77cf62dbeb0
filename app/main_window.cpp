#include "app/main_window.h"

#include <gtk/gtk.h>

#include "app/file_commands.h"
#include "app/menu.h"
#include "base/data_files.h"
#include "base/drawing.h"
#include "base/globals.h"
#include "base/status.h"
#include "canvas/repaint.h"
#include "canvas/view.h"
#include "tools/pointer.h"

namespace {
constexpr const char *kIconFile = "スマイリーno074.png";
// The default size and the status line follow the start-up canvas width.
constexpr int kStartCells = 64;
constexpr int kStatusHeight = 24;

// Exposure of the canvas: the visible cells are painted again, clipped to
// the exposed area; the rest of the screen keeps what it shows.
gboolean Main_View_Draw(GtkWidget *, GdkEventExpose *event, gpointer) {
  view_expose_begin(event ? event->region : nullptr);
  px_draw_full();
  view_expose_end();
  g_print("Main_View_Draw\n");
  return FALSE;
}

gboolean status_expose(GtkWidget *area, GdkEventExpose *, gpointer) {
  px_status_exposed(area);
  return FALSE;
}

// Destruction of the main window: a trace only, since a scale change
// destroys it and builds it again.
void destroy(GtkWidget *, gpointer) { g_print("destroy\n"); }
}  // namespace

void crate_main_window() {
  window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  char title[kTextBufSize];
  px_make_title(title, sizeof title, true);
  gtk_window_set_title(GTK_WINDOW(window), title);
  // A missing or unreadable icon leaves the windows without one, silently:
  // with an error to fill, the toolkit prints no warning of its own.
  GError *icon_error = nullptr;
  gtk_window_set_default_icon_from_file(px_image_path(kIconFile).c_str(), &icon_error);
  g_clear_error(&icon_error);
  gtk_window_set_default_size(GTK_WINDOW(window), kStartCells * dot_size + kWindowExtraWidth,
                              kStartCells * dot_size + kWindowExtraHeight);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ALWAYS);
  g_signal_connect(window, "delete_event", G_CALLBACK(cb_quit), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(destroy), nullptr);

  GtkWidget *vbox = gtk_vbox_new(FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window), vbox);
  gtk_box_pack_start(GTK_BOX(vbox), create_menu(), FALSE, FALSE, 0);

  drawing_area = gtk_drawing_area_new();
  px_size_canvas_area();
  g_scroll_window = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_box_pack_start(GTK_BOX(vbox), g_scroll_window, TRUE, TRUE, 0);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(g_scroll_window), GTK_POLICY_AUTOMATIC,
                                 GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(g_scroll_window), drawing_area);

  g_signal_connect(drawing_area, "expose_event", G_CALLBACK(Main_View_Draw), nullptr);
  g_signal_connect(drawing_area, "motion_notify_event", G_CALLBACK(motion_notify_event),
                   nullptr);
  g_signal_connect(drawing_area, "button_press_event", G_CALLBACK(button_press_event),
                   nullptr);
  g_signal_connect(drawing_area, "button_release_event", G_CALLBACK(button_release_event),
                   nullptr);
  gtk_widget_set_events(drawing_area, kPointerEvents);

  statas_area = gtk_drawing_area_new();
  gtk_widget_set_size_request(statas_area, kStartCells * dot_size, kStatusHeight);
  gtk_box_pack_start(GTK_BOX(vbox), statas_area, FALSE, FALSE, 0);
  g_signal_connect(statas_area, "expose_event", G_CALLBACK(status_expose), nullptr);

  px_main_window = window;
  gtk_widget_show_all(window);
  g_print("creat_main_view\n");
}
