#include "files/export.h"

#include <string>

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/gui.h"
#include "support/workdir.h"

using Command = void (*)(GtkMenuItem *, gpointer);
constexpr const char *kTemp = ".px_tmp100001.bmp";

// Cancels for an empty `path`; removes `gone` after the chooser has checked that it exists.
static std::string run_export(Command command, const std::string &path,
                              const std::string &gone = "") {
  answer_next_dialog([&](GtkWidget *w) {
    if (!gone.empty())
      g_signal_connect(w, "response", G_CALLBACK(+[](GtkWidget *, gint, gpointer dir) {
                         g_rmdir(static_cast<const char *>(dir)); }), (gpointer)gone.c_str());
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(w), path.c_str());
    gtk_dialog_response(GTK_DIALOG(w), path.empty() ? GTK_RESPONSE_CANCEL : GTK_RESPONSE_ACCEPT);
  });
  PrintCapture out;
  command(nullptr, nullptr);
  std::string text = out.text();  // less the main window's redraws meanwhile
  for (std::size_t at; (at = text.find("Main_View_Draw\n")) != text.npos;) text.erase(at, 15);
  return text;
}

using ExportGui = GuiTest;

TEST_F(ExportGui, ImagesReadBackAndFailuresLeaveTheDocumentAlone) {
  const int colours[4][3] = {{200, 30, 40}, {20, 160, 60}, {30, 40, 220}, {250, 250, 250}};
  const std::string dir = make_scratch_dir("export");
  save_fg = 1;
  struct Case { Command command; std::string kind, path; int side, tolerance; };
  for (const Case &c : {Case{cb_export_bmp, "bmp", dir + "/p.bmp", 2, 0},
                        Case{cb_export_png, "png", dir + "/picture", 2, 0},
                        Case{cb_export_jpeg, "jpeg", dir + "/p.jpeg", 32, 6}}) {
    SCOPED_TRACE(c.kind);
    cnvs_allocate(c.side, c.side, true, "error");  // four flat quadrants
    std::string cells;
    for (int i = 0; i < c.side * c.side; i++) {
      const int *rgb = colours[i / (c.side * c.side / 2) * 2 + i % c.side / (c.side / 2)];
      px_dot(px_cnvs, i % c.side, i / c.side, rgb[0], rgb[1], rgb[2]);
      cells += std::to_string((rgb[0] * 256 + rgb[1]) * 256 + rgb[2]) + "\n";
    }
    const std::string names = "export_" + c.kind + "!!\nl=11\nl=6\n\n無題\n";
    const std::string last = c.kind + "_write6\n";
    EXPECT_EQ(run_export(c.command, ""), names + last);
    EXPECT_EQ(run_export(c.command, c.path), names + "menu export:" + c.path + "\n" + cells +
              "bmp_write\nbmp_write\nbmp_write2\nbmp_write3\nbmp_write4\nbmp_write5\n" + last);
    GdkPixbuf *pb = gdk_pixbuf_new_from_file(c.path.c_str(), nullptr);
    ASSERT_NE(pb, nullptr);
    ASSERT_TRUE(gdk_pixbuf_get_width(pb) == c.side && gdk_pixbuf_get_height(pb) == c.side);
    for (int q = 0; q < 4; q++) {  // the middle of each quadrant: every cell of a 2 x 2 picture
      const int x = (q % 2 * 2 + 1) * c.side / 4, y = (q / 2 * 2 + 1) * c.side / 4;
      const guchar *p = gdk_pixbuf_get_pixels(pb) + y * gdk_pixbuf_get_rowstride(pb) +
                        x * gdk_pixbuf_get_n_channels(pb);
      for (int k = 0; k < 3; k++) EXPECT_NEAR(p[k], colours[q][k], c.tolerance) << x << "," << y;
    }
    g_object_unref(pb);
    for (int blocked = 0; blocked <= (c.kind != "bmp"); blocked++) {  // failures
      const std::string gone = make_scratch_dir("export"), path = gone + "/out.img";
      g_remove(kTemp);
      ASSERT_EQ(blocked ? g_mkdir(kTemp, 0755) : 0, 0);
      px_status_text[0] = '\0';
      const std::string out = run_export(c.command, path, blocked ? "" : gone);
      g_rmdir(kTemp);
      EXPECT_STREQ(px_status_text, blocked ? "error... 一時ファイルに書き込めません。"
                                           : "error... ファイルに書き込めません。");
      EXPECT_FALSE(g_file_test(path.c_str(), G_FILE_TEST_EXISTS));
      EXPECT_TRUE(g_str_has_suffix(out.c_str(), last.c_str())) << out;
    }
  }
  EXPECT_STREQ(now_file_name, "無題.koma");
  EXPECT_EQ(save_fg, 1);
}
