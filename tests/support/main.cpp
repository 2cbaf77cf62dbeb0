#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "support/support.h"
#ifdef KOMA_GUI_TESTS
#include "support/gui.h"
#endif

int main(int argc, char **argv) {
#ifdef KOMA_GUI_TESTS
  // A program that a test started as its child runs instead of the tests.
  if (g_getenv(kTestChildVariable) && gui_test_child) return gui_test_child(argc, argv);
#endif
  testing::InitGoogleTest(&argc, argv);
  // Recovery snapshots stay in the scratch folder too.
  g_setenv("XDG_STATE_HOME", (enter_test_workdir() + "/state").c_str(), TRUE);
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
