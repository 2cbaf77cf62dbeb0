#include <string>
#include <vector>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

namespace {

// Loads `path` as an image; an empty string when it loads, else the reason.
std::string load_error(const std::string &path, int *width, int *height) {
  GError *err = nullptr;
  GdkPixbuf *pb = gdk_pixbuf_new_from_file(path.c_str(), &err);
  if (!pb) {
    std::string why = err ? err->message : "unknown error";
    if (err) g_error_free(err);
    return why;
  }
  *width = gdk_pixbuf_get_width(pb);
  *height = gdk_pixbuf_get_height(pb);
  g_object_unref(pb);
  return "";
}

}  // namespace

TEST(Images, EveryImageInTheSourceTreeLoads) {
  GDir *dir = g_dir_open(KOMA_ASSETS_DIR, 0, nullptr);
  ASSERT_NE(dir, nullptr);
  int images = 0;
  for (const gchar *name; (name = g_dir_read_name(dir));) {
    if (!g_str_has_suffix(name, ".png")) continue;
    images++;
    int w = 0, h = 0;
    EXPECT_EQ(load_error(std::string(KOMA_ASSETS_DIR) + "/" + name, &w, &h), "") << name;
    EXPECT_GT(w * h, 0) << name;
  }
  g_dir_close(dir);
  EXPECT_GE(images, 9);
}

TEST(Images, ToolBarPicturesAreFoundInTheWorkingDirectory) {
  // The program reads them by these relative names; drawn at 16 x 16, written at 2 x.
  const char *names[] = {"./supoit.png", "./dot.png",  "./line.png",  "./box.png",
                         "./box2.png",   "./maru.png", "./maru2.png", "./nuri.png"};
  for (const char *name : names) {
    int w = 0, h = 0;
    EXPECT_EQ(load_error(name, &w, &h), "") << name;
    EXPECT_EQ(w, 32) << name;
    EXPECT_EQ(h, 32) << name;
  }
}
