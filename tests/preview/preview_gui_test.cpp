#include "preview/preview.h"

#include <sys/resource.h>

#include <csignal>
#include <string>

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/gui.h"
#include "support/workdir.h"

namespace {
constexpr const char *kTempFile = ".px_tmp000001.bmp";

// The View menu's rule for "プレビュー".
void choose_preview_from_menu() {
  if (!preview_fg) {
    preview();
    preview_fg = 1;
  }
}

int preview_windows() {
  int n = 0;
  GList *tops = gtk_window_list_toplevels();
  for (GList *l = tops; l; l = l->next)
    if (gtk_widget_get_visible(GTK_WIDGET(l->data)) &&
        g_strcmp0(gtk_window_get_title(GTK_WINDOW(l->data)), "preview") == 0)
      n++;
  g_list_free(tops);
  return n;
}

GtkImage *shown_image() {
  return preview_window ? GTK_IMAGE(find_widget(preview_window, GTK_TYPE_IMAGE)) : nullptr;
}

void press_update() {
  gtk_button_clicked(GTK_BUTTON(find_widget(preview_window, GTK_TYPE_BUTTON, "更新")));
  pump();
}

// Cells of the picture whose colour the preview image does not show;
// -1 when the image is missing or of another size.
int cells_shown_wrong() {
  GtkImage *image = shown_image();
  GdkPixbuf *pb = image ? gtk_image_get_pixbuf(image) : nullptr;
  if (!pb || gdk_pixbuf_get_width(pb) != mv_size_widht ||
      gdk_pixbuf_get_height(pb) != mv_size_heigth)
    return -1;
  int wrong = 0;
  for (int y = 0; y < mv_size_heigth; y++)
    for (int x = 0; x < mv_size_widht; x++) {
      const guchar *p = gdk_pixbuf_get_pixels(pb) + y * gdk_pixbuf_get_rowstride(pb) +
                        x * gdk_pixbuf_get_n_channels(pb);
      int rgb[3];
      px_get_dot(px_cnvs, x, y, rgb);
      if (p[0] != rgb[0] || p[1] != rgb[1] || p[2] != rgb[2]) wrong++;
    }
  return wrong;
}
}  // namespace

using Preview = GuiTest;

TEST_F(Preview, SecondMenuChoiceKeepsTheOneOpenWindow) {
  PrintCapture out;
  choose_preview_from_menu();
  // Only the conversion's and the writer's traces.
  std::string white;
  for (int i = 0; i < 64 * 64; i++) white += "16777215\n";
  EXPECT_EQ(out.text(), white + "bmp_write\nbmp_write2\nbmp_write3\nbmp_write4\nbmp_write5\n");
  pump();
  GtkWidget *first = preview_window;
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(first)), "preview");
  EXPECT_EQ(preview_fg, 1);
  EXPECT_EQ(cells_shown_wrong(), 0);

  px_dot(px_cnvs, 3, 4, 255, 0, 0);
  out.clear();
  choose_preview_from_menu();
  EXPECT_EQ(out.text(), "");
  pump();
  EXPECT_EQ(preview_window, first);
  EXPECT_EQ(preview_windows(), 1);
  EXPECT_EQ(cells_shown_wrong(), 1) << "a snapshot does not follow the canvas";
}

TEST_F(Preview, UpdateShowsTheCurrentPictureInANewWindow) {
  choose_preview_from_menu();
  pump();
  GtkWidget *old = preview_window;
  px_dot(px_cnvs, 3, 4, 255, 0, 0);
  px_dot(px_cnvs, 63, 0, 0, 0, 255);
  press_update();
  EXPECT_NE(preview_window, old);
  EXPECT_EQ(preview_fg, 1);
  EXPECT_EQ(preview_windows(), 1);
  EXPECT_EQ(cells_shown_wrong(), 0);
  GtkWidget *renewed = preview_window;
  choose_preview_from_menu();
  EXPECT_EQ(preview_window, renewed) << "the menu does nothing while the preview is open";
}

TEST_F(Preview, ClosingClearsTheFlagAndTheNextChoiceShowsTheCanvas) {
  choose_preview_from_menu();
  pump();
  send_delete(preview_window);
  pump();
  EXPECT_EQ(preview_fg, 0);
  EXPECT_EQ(preview_windows(), 0);
  EXPECT_EQ(preview_window, nullptr) << "no handle to a destroyed window";
  px_dot(px_cnvs, 10, 20, 0, 128, 0);
  choose_preview_from_menu();
  pump();
  EXPECT_EQ(preview_fg, 1);
  EXPECT_EQ(preview_windows(), 1);
  EXPECT_EQ(cells_shown_wrong(), 0);
}

TEST_F(Preview, PendingShapeInTheOverlayIsNotShown) {
  px_dot(px_cnvs, 6, 6, 0, 255, 0);
  for (int x = 2; x < 9; x++) px_dot(px_cnvs_vtl, x, 5, 0, 0, 255);
  choose_preview_from_menu();
  pump();
  EXPECT_EQ(cells_shown_wrong(), 0);
  const guchar *p = gdk_pixbuf_get_pixels(gtk_image_get_pixbuf(shown_image())) +
                    5 * gdk_pixbuf_get_rowstride(gtk_image_get_pixbuf(shown_image()));
  EXPECT_EQ(p[0], 255);  // left end of the pending line: white, as in the picture
}

TEST_F(Preview, NewCanvasSizeShowsAfterUpdateAndTheFileStays) {
  choose_preview_from_menu();
  pump();
  cnvs_allocate(5, 3, true, "error");
  px_dot(px_cnvs, 4, 2, 10, 20, 30);
  EXPECT_EQ(gdk_pixbuf_get_width(gtk_image_get_pixbuf(shown_image())), 64)
      << "the open preview keeps the old picture";
  press_update();
  EXPECT_EQ(cells_shown_wrong(), 0);
  send_delete(preview_window);
  pump();
  // The temporary file holds the last picture after the window is gone.
  const std::string bmp = read_file(kTempFile);
  ASSERT_EQ(bmp.size(), 54u + 4 * 5 * 3);
  EXPECT_EQ(bmp.substr(54 + 4 * (2 * 5 + 4), 4), std::string("\x1E\x14\x0A\x00", 4));
}

TEST_F(Preview, OpensWhenTheTemporaryFileCannotBeWritten) {
  choose_preview_from_menu();  // leaves a readable file of the white canvas behind
  pump();
  send_delete(preview_window);
  pump();
  ASSERT_EQ(g_remove(kTempFile), 0);
  ASSERT_EQ(g_mkdir(kTempFile, 0755), 0);  // a folder where the file goes
  px_dot(px_cnvs, 1, 1, 0, 0, 0);
  choose_preview_from_menu();
  pump();
  EXPECT_EQ(preview_windows(), 1);
  EXPECT_EQ(gtk_image_get_storage_type(shown_image()), GTK_IMAGE_STOCK);
  press_update();  // the button still works
  EXPECT_EQ(preview_windows(), 1);
  EXPECT_EQ(preview_fg, 1);
  g_rmdir(kTempFile);
  press_update();
  EXPECT_EQ(cells_shown_wrong(), 0);
}


TEST_F(Preview, ShortWriteShowsNoPartialPicture) {
  // The file may grow to 8000 bytes only: half of the white 64 x 64 picture.
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  const auto previous = signal(SIGXFSZ, SIG_IGN);
  const rlimit small{8000, old.rlim_max};
  setrlimit(RLIMIT_FSIZE, &small);
  choose_preview_from_menu();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  pump();
  EXPECT_EQ(read_file(kTempFile).size(), 8000u);
  EXPECT_EQ(gtk_image_get_storage_type(shown_image()), GTK_IMAGE_STOCK);
  press_update();
  EXPECT_EQ(cells_shown_wrong(), 0);
}
