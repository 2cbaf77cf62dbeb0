#include <string>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

// The program reads its images from the working directory, which holds copies of assets/.
TEST(Images, EveryImageInAssetsLoadsFromTheWorkingDirectory) {
  g_autoptr(GDir) dir = g_dir_open(KOMA_ASSETS_DIR, 0, nullptr);
  int loaded = 0;
  for (const gchar *name; dir && (name = g_dir_read_name(dir));) {
    if (!g_str_has_suffix(name, ".png")) continue;
    g_autoptr(GError) err = nullptr;
    g_autoptr(GdkPixbuf) pb = gdk_pixbuf_new_from_file((std::string("./") + name).c_str(), &err);
    EXPECT_NE(pb, nullptr) << name << ": " << (err ? err->message : "");
    loaded += pb != nullptr;
  }
  EXPECT_GE(loaded, 9);  // the icon and the eight tool-bar pictures
}
