#include <gtest/gtest.h>

#include "support/workdir.h"

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  enter_test_workdir();
  return RUN_ALL_TESTS();
}
