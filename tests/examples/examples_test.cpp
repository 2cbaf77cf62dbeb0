// The sample documents: each opens in the editor without a word on the
// status line, and the program that draws them makes them again byte for byte;
// the program that draws the images makes them again pixel for pixel.
#include <sys/wait.h>

#include <cstdlib>
#include <set>
#include <string>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>
#include <gtest/gtest.h>

#include "app/load_save.h"
#include "base/globals.h"
#include "base/status.h"
#include "support/support.h"

namespace {
std::set<std::string> documents(const std::string &dir, const char *suffix = ".koma") {
  std::set<std::string> names;
  if (GDir *d = g_dir_open(dir.c_str(), 0, nullptr)) {
    for (const char *n; (n = g_dir_read_name(d));)
      if (g_str_has_suffix(n, suffix)) names.insert(n);
    g_dir_close(d);
  }
  return names;
}
std::string pixels(const std::string &png) {  // "W x H x channels", then the rows
  g_autoptr(GdkPixbuf) pb = gdk_pixbuf_new_from_file(png.c_str(), nullptr);
  if (!pb) return "none";
  const int w = gdk_pixbuf_get_width(pb), h = gdk_pixbuf_get_height(pb), n = gdk_pixbuf_get_n_channels(pb);
  std::string s = std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(n);
  for (int y = 0; y < h; y++) s.append(reinterpret_cast<const char *>(gdk_pixbuf_get_pixels(pb)) + y * gdk_pixbuf_get_rowstride(pb), w * n);
  return s;
}
}  // namespace

TEST(Examples, OpenCleanlyAndAreDrawnAgainByteForByte) {
  const std::set<std::string> names = documents(KOMA_EXAMPLES_DIR);
  EXPECT_GE(names.size(), 3u);
  for (const std::string &name : names) {
    reset_editor_state();
    const std::string path = std::string(KOMA_EXAMPLES_DIR) + "/" + name;
    EXPECT_EQ(px_open(path.c_str()), 1) << name;
    EXPECT_EQ(std::string(px_status_text) + now_file_name, path) << name;  // no message
    EXPECT_GT(mv_size_widht * mv_size_heigth, 0) << name;
  }
  const std::string again = make_scratch_dir("examples");
  const int status = std::system((std::string(KOMA_EXAMPLES_BIN) + " '" + again + "'").c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(documents(again), names);
  for (const std::string &name : names)
    EXPECT_EQ(read_file(again + "/" + name), read_file(KOMA_EXAMPLES_DIR "/" + name)) << name;
}

TEST(Images, DrawnAgainPixelForPixel) {
  const std::string dir = make_scratch_dir("images"), kept = KOMA_ASSETS_DIR;
  g_mkdir_with_parents((dir + "/assets").c_str(), 0755);  // the application icon goes to ../data/icons
  const int status = std::system(("cd '" + dir + "/assets' && " KOMA_ICONS_BIN).c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::set<std::string> names = documents(kept, ".png");
  EXPECT_EQ(documents(dir + "/assets", ".png"), names);
  for (const std::string &name : names) EXPECT_TRUE(pixels(dir + "/assets/" + name) == pixels(kept + "/" + name)) << name;
  for (const char *size : {"16", "32", "48", "64", "128"}) {
    const std::string icon = std::string("/data/icons/") + size + "/koma.png";
    EXPECT_TRUE(pixels(dir + icon) == pixels(kept + "/.." + icon)) << icon;
  }
}
