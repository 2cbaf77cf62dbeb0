#include "support/workdir.h"

#include <unistd.h>

#include <cstdio>

#include <glib.h>
#include <glib/gstdio.h>

const std::string &enter_test_workdir() {
  static std::string dir;
  if (dir.empty()) {
    gchar *tmp = g_dir_make_tmp("koma-test-XXXXXX", nullptr);
    dir = tmp;
    g_free(tmp);
    GDir *assets = g_dir_open(KOMA_ASSETS_DIR, 0, nullptr);
    for (const gchar *name; assets && (name = g_dir_read_name(assets));)
      if (g_str_has_suffix(name, ".png")) write_file(dir + "/" + name, read_file(KOMA_ASSETS_DIR "/" + std::string(name)));
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
  gchar *bytes = nullptr;
  gsize n = 0;
  std::string out = g_file_get_contents(path.c_str(), &bytes, &n, nullptr) ? std::string(bytes, n) : "";
  g_free(bytes);
  return out;
}

void write_file(const std::string &path, const std::string &bytes) {  // in place, as a user's editor would
  if (std::FILE *f = std::fopen(path.c_str(), "wb")) std::fwrite(bytes.data(), 1, bytes.size(), f), std::fclose(f);
}
