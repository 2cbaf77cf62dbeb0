#include "preview/preview.h"

#include <string>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/gui.h"
#include "support/workdir.h"

static void choose_preview() { if (!preview_fg) { preview(); preview_fg = 1; } }  // View menu rule
static void close_preview() { send_delete(preview_window); pump(); }

// The size of the preview's image and the colour it shows at (x, y): "WxH RRGGBB".
static std::string shown(int x, int y) {
  pump();
  GdkPixbuf *pb = gtk_image_get_pixbuf(GTK_IMAGE(find_widget(preview_window, GTK_TYPE_IMAGE)));
  const guchar *p = gdk_pixbuf_get_pixels(pb) + y * gdk_pixbuf_get_rowstride(pb) +
                    x * gdk_pixbuf_get_n_channels(pb);
  char text[32];
  g_snprintf(text, sizeof text, "%dx%d %02X%02X%02X", gdk_pixbuf_get_width(pb),
             gdk_pixbuf_get_height(pb), p[0], p[1], p[2]);
  return text;
}

using Preview = GuiTest;

TEST_F(Preview, SnapshotOfTheCellsThatOnlyUpdateRenews) {
  choose_preview();
  GtkWidget *first = preview_window;
  px_dot(px_cnvs, 3, 4, 255, 0, 0);
  choose_preview();  // does nothing while the preview is open
  EXPECT_EQ(preview_window, first);
  EXPECT_EQ(shown(3, 4), "64x64 FFFFFF");
  gtk_button_clicked(GTK_BUTTON(find_widget(preview_window, GTK_TYPE_BUTTON, "更新")));
  EXPECT_EQ(shown(3, 4), "64x64 FF0000");
  EXPECT_EQ(preview_fg, 1);
  close_preview();
  EXPECT_EQ(preview_fg, 0);
  cnvs_allocate(5, 3, true, "error");
  px_dot(px_cnvs, 4, 2, 10, 20, 30);
  for (int x = 0; x < 5; x++) px_dot(px_cnvs_vtl, x, 1, 0, 0, 255);  // a shape being drawn
  choose_preview();
  EXPECT_EQ(shown(4, 2) + " " + shown(2, 1), "5x3 0A141E 5x3 FFFFFF");
  close_preview();  // the temporary file stays, holding the last picture
  EXPECT_EQ(read_file(".px_tmp000001.bmp").substr(54 + 4 * 14), std::string("\x1E\x14\x0A\x00", 4));
}
