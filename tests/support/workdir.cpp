#include "support/workdir.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include <glib.h>
#include <glib/gstdio.h>

const std::string &enter_test_workdir() {
  static std::string dir;
  if (dir.empty()) {
    gchar *tmp = g_dir_make_tmp("koma-test-XXXXXX", nullptr);
    dir = tmp;
    g_free(tmp);
    GDir *assets = g_dir_open(KOMA_ASSETS_DIR, 0, nullptr);
    for (const gchar *name; assets && (name = g_dir_read_name(assets));) {
      if (!g_str_has_suffix(name, ".png")) continue;
      std::string from = std::string(KOMA_ASSETS_DIR) + "/" + name;
      write_file(dir + "/" + name, read_file(from));
    }
    if (assets) g_dir_close(assets);
  }
  if (chdir(dir.c_str()) != 0) g_error("cannot enter %s", dir.c_str());
  return dir;
}

std::string make_scratch_dir(const char *name) {
  static int serial = 0;
  std::string path = enter_test_workdir() + "/" + name + "-" + std::to_string(++serial);
  g_mkdir_with_parents(path.c_str(), 0755);
  return path;
}

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void write_file(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}
