#include "palette/color22.h"

#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"

namespace {

// Component of each level in columns 0 to 9, written out as integers.
enum Level { F, T, H, h, Z };
const int kLevel[5][10] = {
    {255, 229, 204, 178, 153, 127, 102, 76, 51, 25},  // F: 255
    {191, 172, 153, 133, 114, 95, 76, 57, 38, 19},    // T: 191.25
    {127, 114, 102, 89, 76, 63, 51, 38, 25, 12},      // H: 127.5
    {127, 114, 101, 88, 76, 63, 50, 38, 25, 12},      // h: 127
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},                   // zero
};
const Level kRows[21][3] = {
    {F, Z, Z}, {Z, F, Z}, {Z, Z, F}, {F, F, Z}, {Z, F, F}, {F, Z, F}, {F, h, Z},
    {h, F, Z}, {Z, F, h}, {Z, h, F}, {F, Z, h}, {h, Z, F}, {h, h, F}, {F, h, h},
    {h, F, h}, {F, T, H}, {T, F, H}, {H, T, F}, {F, H, T}, {H, F, T}, {T, H, F},
};
const int kGrey[10] = {0, 28, 56, 84, 113, 141, 169, 198, 226, 255};

// Points the global table at a private buffer for one test.
class PaletteTable : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = pl_main;
    pl_main = buf_.data();
  }
  void TearDown() override { pl_main = saved_; }
  std::vector<int> buf_ = std::vector<int>(10 * 22 * 3, -7);
  int *saved_ = nullptr;
};

}  // namespace

TEST_F(PaletteTable, DefaultsMatchTheLevelTablesInEveryEntry) {
  pl_set();
  for (int y = 0; y < 22; y++)
    for (int x = 0; x < 10; x++) {
      int want[3];
      for (int c = 0; c < 3; c++) want[c] = y < 21 ? kLevel[kRows[y][c]][x] : kGrey[x];
      int r = -1, g = -1, b = -1;
      ASSERT_EQ(pl_get_one(x, y, &r, &g, &b), 1);
      EXPECT_EQ(r, want[0]) << x << "," << y;
      EXPECT_EQ(g, want[1]) << x << "," << y;
      EXPECT_EQ(b, want[2]) << x << "," << y;
    }
  // Entries are stored row by row, three ints each.
  EXPECT_EQ(buf_[(3 + 6 * 10) * 3 + 1], 88);
  EXPECT_EQ(buf_[(9 + 21 * 10) * 3 + 2], 255);
}

TEST_F(PaletteTable, WorkedEntries) {
  pl_set();
  struct { int x, y, r, g, b; } cases[] = {
      {0, 0, 255, 0, 0},     {9, 0, 25, 0, 0},      {3, 6, 178, 88, 0},
      {1, 15, 229, 172, 114}, {9, 20, 19, 12, 25},  {4, 21, 113, 113, 113},
      {9, 21, 255, 255, 255}, {8, 0, 51, 0, 0},     {2, 15, 204, 153, 102},
  };
  for (auto c : cases) {
    int r, g, b;
    ASSERT_EQ(pl_get_one(c.x, c.y, &r, &g, &b), 1);
    EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{c.r, c.g, c.b})) << c.x << "," << c.y;
  }
}

TEST_F(PaletteTable, LookupOutsideTheGridLeavesOutputsUntouched) {
  pl_set();
  const std::pair<int, int> outside[] = {{10, 0}, {0, 22}, {-1, 0}, {0, -1}, {10, 22}};
  for (auto [x, y] : outside) {
    int r = 11, g = 22, b = 33;
    EXPECT_EQ(pl_get_one(x, y, &r, &g, &b), 0) << x << "," << y;
    EXPECT_EQ(r + g * 100 + b * 10000, 11 + 2200 + 330000);
  }
}

TEST_F(PaletteTable, SetOneTruncatesTowardZero) {
  EXPECT_EQ(pl_set_one(0, 0, 229.9, 0.5, 12.7), 1);
  EXPECT_EQ(pl_set_one(9, 21, 254.999, 1.0, 0.0), 1);
  int r, g, b;
  pl_get_one(0, 0, &r, &g, &b);
  EXPECT_EQ(r, 229);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 12);
  pl_get_one(9, 21, &r, &g, &b);
  EXPECT_EQ(r, 254);
  EXPECT_EQ(g, 1);
}

TEST_F(PaletteTable, WritesOutsideTheGridAreRefused) {
  const std::vector<int> before = buf_;
  EXPECT_EQ(pl_set_one(10, 0, 1, 2, 3), 0);
  EXPECT_EQ(pl_set_one(0, 22, 1, 2, 3), 0);
  EXPECT_EQ(pl_set_one(-1, 0, 1, 2, 3), 0);
  EXPECT_EQ(buf_, before);
}

TEST_F(PaletteTable, WithoutATableNothingIsReadOrWritten) {
  pl_main = nullptr;
  int r = 5, g = 6, b = 7;
  EXPECT_EQ(pl_set_one(0, 0, 1, 2, 3), 0);
  pl_set();  // must not write through the missing table
  EXPECT_EQ(pl_get_one(0, 0, &r, &g, &b), 0);
  EXPECT_EQ(r * 100 + g * 10 + b, 567);
  px_draw_pl(nullptr);  // no widget: nothing to paint, but the table is made
  ASSERT_NE(pl_main, nullptr);
  EXPECT_EQ(pl_get_one(9, 21, &r, &g, &b), 1);
  EXPECT_EQ(r, 255);
  g_free(pl_main);
}

TEST_F(PaletteTable, EnsureTableKeepsAnExistingTable) {
  int *mine = pl_main;
  EXPECT_TRUE(pl_ensure_table());
  EXPECT_EQ(pl_main, mine);
  EXPECT_EQ(buf_[0], -7);  // an existing table is not filled again
}
