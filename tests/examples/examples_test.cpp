// The sample documents: each opens in the editor without a word on the
// status line, and the program that draws them makes them again byte for byte.
#include <sys/wait.h>

#include <cstdlib>
#include <set>
#include <string>

#include <glib.h>
#include <gtest/gtest.h>

#include "app/load_save.h"
#include "base/globals.h"
#include "base/status.h"
#include "support/support.h"

namespace {
std::set<std::string> documents(const std::string &dir) {
  std::set<std::string> names;
  if (GDir *d = g_dir_open(dir.c_str(), 0, nullptr)) {
    for (const char *n; (n = g_dir_read_name(d));)
      if (g_str_has_suffix(n, ".koma")) names.insert(n);
    g_dir_close(d);
  }
  return names;
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
