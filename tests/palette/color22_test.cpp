#include "palette/color22.h"

#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"

// Columns 0 to 9 of each level, written out (h, base 127, is not H, 127.5); g is the grey row.
const std::map<char, std::vector<int>> kLevel = {
    {'F', {255, 229, 204, 178, 153, 127, 102, 76, 51, 25}},
    {'T', {191, 172, 153, 133, 114, 95, 76, 57, 38, 19}},
    {'H', {127, 114, 102, 89, 76, 63, 51, 38, 25, 12}},
    {'h', {127, 114, 101, 88, 76, 63, 50, 38, 25, 12}},
    {'0', std::vector<int>(10)}, {'g', {0, 28, 56, 84, 113, 141, 169, 198, 226, 255}}};
const char *const kRowLevels[22] = {"F00", "0F0", "00F", "FF0", "0FF", "F0F", "Fh0", "hF0", "0Fh",
    "0hF", "F0h", "h0F", "hhF", "Fhh", "hFh", "FTH", "TFH", "HTF", "FHT", "HFT", "THF", "ggg"};

TEST(PaletteTable, DefaultsLookupsAndTruncation) {
  std::vector<int> buf(10 * 22 * 3, -7);  // a private table, so no entry can keep its old content
  pl_main = buf.data();
  pl_set();
  for (int i = 0; i < 10 * 22 * 3; i++)  // entries lie row by row, three ints each
    EXPECT_EQ(buf[i], kLevel.at(kRowLevels[i / 30][i % 3])[i / 3 % 10])
        << "column " << i / 3 % 10 << " row " << i / 30;
  std::vector<int> defaults = buf;
  const std::vector<int> worked[] = {{0, 0, 255, 0, 0}, {9, 0, 25, 0, 0}, {3, 6, 178, 88, 0},
      {1, 15, 229, 172, 114}, {9, 20, 19, 12, 25}, {4, 21, 113, 113, 113}, {9, 21, 255, 255, 255},
      {-1, 0}, {10, 0}, {0, -1}, {0, 22}};  // the last four lie outside the grid
  for (const std::vector<int> &w : worked) {
    std::vector<int> got{w[0], w[1], 11, 22, 33}, untouched = got;
    EXPECT_EQ(pl_get_one(w[0], w[1], &got[2], &got[3], &got[4]), w.size() > 2 ? 1 : 0);
    EXPECT_EQ(got, w.size() > 2 ? w : untouched);
    EXPECT_TRUE(w.size() > 2 || !pl_set_one(w[0], w[1], 1, 2, 3)) << "wrote outside the grid";
  }
  EXPECT_EQ(pl_set_one(0, 0, 229.9, 0.5, 12.7), 1);  // cut, never rounded
  defaults[0] = 229, defaults[1] = 0, defaults[2] = 12;
  EXPECT_EQ(buf, defaults);  // and nothing else was written
  pl_main = nullptr;  // no table: nothing may be written through it
  pl_set();
}
