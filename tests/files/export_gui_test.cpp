#include "files/export.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/gui.h"
#include "support/workdir.h"

namespace {
using Command = void (*)(GtkMenuItem *, gpointer);

// What the chooser showed before it was answered.
struct Shown {
  std::string title, suggested;
  bool overwrite_confirmation = false;
  bool transient_for_main = false;
  std::string cancel_stock, accept_stock;
};

std::string stock_of(GtkWidget *dialog, int response) {
  GtkWidget *b = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response);
  return b ? gtk_button_get_label(GTK_BUTTON(b)) : "";
}

void after_response(GtkDialog *, gint, gpointer hook) {
  (*static_cast<std::function<void()> *>(hook))();
}

// Runs `command`, answers its chooser with `path` (or cancels it when the
// path is empty) and returns the traces. `after_choice` runs once the chooser
// has accepted the path and before the command writes.
std::string run_export(Command command, const std::string &path, Shown *shown = nullptr,
                       std::function<void()> after_choice = [] {}) {
  answer_next_dialog([&](GtkWidget *w) {
    if (shown) {
      shown->title = gtk_window_get_title(GTK_WINDOW(w));
      GtkWidget *entry = find_widget(w, GTK_TYPE_ENTRY);
      shown->suggested = entry ? gtk_entry_get_text(GTK_ENTRY(entry)) : "";
      shown->overwrite_confirmation =
          gtk_file_chooser_get_do_overwrite_confirmation(GTK_FILE_CHOOSER(w));
      shown->transient_for_main = gtk_window_get_transient_for(GTK_WINDOW(w)) ==
                                  GTK_WINDOW(px_main_window);
      shown->cancel_stock = stock_of(w, GTK_RESPONSE_CANCEL);
      shown->accept_stock = stock_of(w, GTK_RESPONSE_ACCEPT);
    }
    if (path.empty()) {
      gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_CANCEL);
      return;
    }
    g_signal_connect(w, "response", G_CALLBACK(after_response), &after_choice);
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(w), path.c_str());
    gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_ACCEPT);
  });
  PrintCapture out;
  command(nullptr, nullptr);
  // The main window may be exposed while the chooser closes; that trace is
  // not the export's.
  std::string text = out.text();
  for (std::size_t at; (at = text.find("Main_View_Draw\n")) != std::string::npos;)
    text.erase(at, 15);
  return text;
}

std::string cell_lines() {
  std::string lines;
  int rgb[3];
  for (int y = 0; y < mv_size_heigth; y++)
    for (int x = 0; x < mv_size_widht; x++) {
      px_get_dot(px_cnvs, x, y, rgb);
      lines += std::to_string((rgb[0] * 256 + rgb[1]) * 256 + rgb[2]) + "\n";
    }
  return lines;
}

bool exists(const std::string &path) { return g_file_test(path.c_str(), G_FILE_TEST_EXISTS); }

// Largest difference of a channel between the image and the cells, over
// the cells that `counts` accepts.
int max_difference(GdkPixbuf *pb, std::function<bool(int, int)> counts = [](int, int) {
  return true;
}) {
  int worst = 0;
  const int n = gdk_pixbuf_get_n_channels(pb);
  for (int y = 0; y < mv_size_heigth; y++)
    for (int x = 0; x < mv_size_widht; x++) {
      if (!counts(x, y)) continue;
      const guchar *p = gdk_pixbuf_get_pixels(pb) + y * gdk_pixbuf_get_rowstride(pb) + x * n;
      int rgb[3];
      px_get_dot(px_cnvs, x, y, rgb);
      for (int k = 0; k < 3; k++) worst = std::max(worst, std::abs(p[k] - rgb[k]));
    }
  return worst;
}
}  // namespace

class ExportGui : public GuiTest {
 protected:
  // A small picture with a different colour in every cell.
  void use_pattern(int w, int h) {
    cnvs_allocate(w, h, true, "error");
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++)
        px_dot(px_cnvs, x, y, (x * 37) % 256, (y * 51) % 256, (x * 11 + y * 29) % 256);
  }
};

TEST_F(ExportGui, ChoosersOfferTheDocumentNameWithTheirExtension) {
  struct Case {
    Command command;
    const char *title, *suggested, *first, *last;
  };
  const Case cases[] = {
      {cb_export_bmp, "エクスポート BMP", "無題.bmp", "export_bmp!!\n", "bmp_write6\n"},
      {cb_export_png, "エクスポート PNG", "無題.png", "export_png!!\n", "png_write6\n"},
      {cb_export_jpeg, "エクスポート JPEG", "無題.jpeg", "export_jpeg!!\n", "jpeg_write6\n"},
  };
  for (const Case &c : cases) {
    Shown shown;
    // Cancelled: the name traces between the first and the last, nothing else.
    EXPECT_EQ(run_export(c.command, "", &shown),
              std::string(c.first) + "l=11\nl=6\n\n無題\n" + c.last);
    EXPECT_EQ(shown.title, c.title);
    EXPECT_EQ(shown.suggested, c.suggested);
    EXPECT_TRUE(shown.overwrite_confirmation);
    EXPECT_TRUE(shown.transient_for_main);
    EXPECT_EQ(shown.cancel_stock, "gtk-cancel");
    EXPECT_EQ(shown.accept_stock, "gtk-save-as");
  }
  EXPECT_EQ(newest_toplevel(), window) << "the chooser is gone";
}

TEST_F(ExportGui, AcceptedBmpExportPrintsEveryTraceInOrder) {
  use_pattern(3, 2);
  const std::string path = make_scratch_dir("export") + "/small.bmp";
  EXPECT_EQ(run_export(cb_export_bmp, path),
            "export_bmp!!\nl=11\nl=6\n\n無題\nmenu export:" + path + "\n" + cell_lines() +
                "bmp_write\nbmp_write\nbmp_write2\nbmp_write3\nbmp_write4\nbmp_write5\n"
                "bmp_write6\n");
  const std::string b = read_file(path);
  ASSERT_EQ(b.size(), 78u);
  EXPECT_EQ(b.substr(54 + 4 * (1 * 3 + 2), 4), std::string("\x33\x33\x4A\x00", 4));
  EXPECT_STREQ(px_status_text, "");
}

TEST_F(ExportGui, PngReadBackEqualsTheCellsAndKeepsTheTypedName) {
  use_pattern(9, 7);
  const std::string path = make_scratch_dir("export") + "/picture";  // no extension added
  const std::string out = run_export(cb_export_png, path);
  EXPECT_NE(out.find("menu export:" + path + "\n" + cell_lines() + "bmp_write\nbmp_write\n"),
            std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 22), "bmp_write5\npng_write6\n");
  EXPECT_EQ(read_file(path).substr(1, 3), "PNG");
  GdkPixbuf *pb = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  ASSERT_NE(pb, nullptr);
  ASSERT_EQ(gdk_pixbuf_get_width(pb), 9);
  ASSERT_EQ(gdk_pixbuf_get_height(pb), 7);
  EXPECT_EQ(max_difference(pb), 0);
  g_object_unref(pb);
  // The temporary BMP stays, holding the picture.
  const std::string tmp = read_file(".px_tmp100001.bmp");
  ASSERT_EQ(tmp.size(), 54u + 4 * 9 * 7);
  EXPECT_EQ(tmp.substr(54 + 4 * (6 * 9 + 8), 4), std::string("\x06\x32\x28\x00", 4));
}

TEST_F(ExportGui, JpegLoadsWithTheSizeAndColoursCloseToTheCells) {
  // Flat quadrants: what JPEG keeps well, so every cell can be compared.
  cnvs_allocate(32, 32, true, "error");
  const int colours[4][3] = {{200, 30, 40}, {20, 160, 60}, {30, 40, 220}, {250, 250, 250}};
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 32; x++) {
      const int *c = colours[(y / 16) * 2 + x / 16];
      px_dot(px_cnvs, x, y, c[0], c[1], c[2]);
    }
  const std::string path = make_scratch_dir("export") + "/quads.jpeg";
  EXPECT_EQ(run_export(cb_export_jpeg, path).substr(0, 14), "export_jpeg!!\n");
  EXPECT_EQ(read_file(path).substr(0, 3), "\xFF\xD8\xFF");
  GdkPixbuf *pb = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  ASSERT_NE(pb, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(pb), 32);
  EXPECT_EQ(gdk_pixbuf_get_height(pb), 32);
  // JPEG keeps colour at half resolution: it bleeds over the two cells along
  // each border between quadrants.
  auto inside = [](int x, int y) { return std::abs(2 * x - 31) > 3 && std::abs(2 * y - 31) > 3; };
  EXPECT_LE(max_difference(pb, inside), 6);
  EXPECT_LE(max_difference(pb), 96);
  g_object_unref(pb);
}

TEST_F(ExportGui, FailuresAreShownAndLeaveTheDocumentAlone) {
  use_pattern(4, 3);
  save_fg = 1;
  const std::string title = gtk_window_get_title(GTK_WINDOW(window));
  struct Case {
    Command command;
    const char *last;
    bool temp_blocked;  // a folder stands where the temporary BMP goes
    const char *message;
  };
  const Case cases[] = {
      {cb_export_bmp, "bmp_write6\n", false, "error... ファイルに書き込めません。"},
      {cb_export_png, "png_write6\n", false, "error... ファイルに書き込めません。"},
      {cb_export_jpeg, "jpeg_write6\n", false, "error... ファイルに書き込めません。"},
      {cb_export_png, "png_write6\n", true, "error... 一時ファイルに書き込めません。"},
      {cb_export_jpeg, "jpeg_write6\n", true, "error... 一時ファイルに書き込めません。"},
  };
  for (const Case &c : cases) {
    px_status_text[0] = '\0';
    const std::string dir = make_scratch_dir("export");
    std::string path = dir + "/out.img";
    std::function<void()> after = [] {};
    if (c.temp_blocked) {
      g_remove(".px_tmp100001.bmp");
      ASSERT_EQ(g_mkdir(".px_tmp100001.bmp", 0755), 0);
    } else {
      // The folder disappears after it was chosen: the chooser itself refuses
      // folders that do not exist.
      path = dir + "/gone/out.img";
      g_mkdir(path.substr(0, path.rfind('/')).c_str(), 0755);
      after = [path] { g_rmdir(path.substr(0, path.rfind('/')).c_str()); };
    }
    const std::string out = run_export(c.command, path, nullptr, after);
    if (c.temp_blocked) g_rmdir(".px_tmp100001.bmp");
    EXPECT_STREQ(px_status_text, c.message) << c.last;
    EXPECT_FALSE(exists(path)) << c.last;
    EXPECT_NE(out.find("menu export:" + path + "\n"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - std::string(c.last).size()), c.last);
    EXPECT_STREQ(now_file_name, "無題.koma");
    EXPECT_EQ(save_fg, 1);
    EXPECT_EQ(start_fg, 1);
    EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(window)), title);
  }
  EXPECT_EQ(mv_size_widht, 4);
  EXPECT_EQ(px_cnvs[3 * (2 + 1 * 4)], (2 * 37) % 256) << "the picture is untouched";
}

TEST_F(ExportGui, PictureThatGdkPixbufCannotReadIsReported) {
  // A canvas without cells gives a BMP of its header only, which has no image.
  cnvs_allocate(0, 5, true, "error");
  const std::string path = make_scratch_dir("export") + "/empty.png";
  const std::string out = run_export(cb_export_png, path);
  EXPECT_NE(out.find("error koma2int32\nbmp_write\nbmp_write\n"), std::string::npos);
  EXPECT_STREQ(px_status_text, "error... 一時ファイルを読み込めません。");
  EXPECT_FALSE(exists(path));
  EXPECT_EQ(out.substr(out.size() - 11), "png_write6\n");
}
