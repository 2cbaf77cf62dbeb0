#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "support/support.h"

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
#ifdef KOMA_GUI_TESTS
  // Temporary files that fall back to the cache folder stay in the scratch folder.
  g_setenv("XDG_CACHE_HOME", (enter_test_workdir() + "/cache").c_str(), TRUE);
  gtk_set_locale();
  if (!gtk_init_check(&argc, &argv)) {
    fprintf(stderr, "no display: GUI tests need X (run them through ./test.sh)\n");
    return 1;
  }
#endif
  enter_test_workdir();
  return RUN_ALL_TESTS();
}
