#include "base/data_files.h"

#include <glib.h>

namespace {
// The installed data folder, found from the program's own path rather than
// a prefix fixed at build time, so that an unpacked or relocated tree works.
const std::string &installed_data_dir() {
  static const std::string dir = [] {
    g_autofree gchar *exe = g_file_read_link("/proc/self/exe", nullptr);
    if (!exe) return std::string();
    g_autofree gchar *bin = g_path_get_dirname(exe);
    g_autofree gchar *data = g_build_filename(bin, KOMA_DATA_FROM_BIN, nullptr);
    return std::string(data);
  }();
  return dir;
}
}  // namespace

std::string px_image_path(const char *name) {
  const std::string here = std::string("./") + name;
  if (g_file_test(here.c_str(), G_FILE_TEST_EXISTS) || installed_data_dir().empty()) return here;
  const std::string installed = installed_data_dir() + "/" + name;
  return g_file_test(installed.c_str(), G_FILE_TEST_EXISTS) ? installed : here;
}
