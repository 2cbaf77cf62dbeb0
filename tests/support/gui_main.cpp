#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "support/workdir.h"

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  gtk_set_locale();
  if (!gtk_init_check(&argc, &argv)) {
    fprintf(stderr, "no display: GUI tests need X (run them through ./test.sh)\n");
    return 1;
  }
  enter_test_workdir();
  return RUN_ALL_TESTS();
}
