#include "palette/color22.h"

#include <map>
#include <vector>

#include <gdk-pixbuf/gdk-pixbuf.h>
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
  std::vector<int> buf(10 * 22 * 3, -7);  // a private table
  pl_main = buf.data();
  pl_set();
  // Worked entries, then four outside the grid, where nothing is read or written.
  const std::vector<int> worked[] = {{0, 0, 255, 0, 0}, {9, 0, 25, 0, 0}, {3, 6, 178, 88, 0},
      {1, 15, 229, 172, 114}, {9, 20, 19, 12, 25}, {4, 21, 113, 113, 113}, {9, 21, 255, 255, 255},
      {-1, 0, 7, 7, 7}, {10, 0, 7, 7, 7}, {0, -1, 7, 7, 7}, {0, 22, 7, 7, 7}};
  for (const std::vector<int> &w : worked) {
    std::vector<int> got{w[0], w[1], 7, 7, 7};
    const int found = pl_get_one(w[0], w[1], &got[2], &got[3], &got[4]);
    EXPECT_EQ(std::pair(got, found), std::pair(w, int(w[2] != 7)));
    EXPECT_EQ(pl_set_one(w[0], w[1], w[2] + 0.9, w[3] + 0.5, w[4] + 0.7), found);  // never rounded
  }
  for (int i = 0; i < 10 * 22 * 3; i++)  // every entry, row by row, three ints each
    EXPECT_EQ(buf[i], kLevel.at(kRowLevels[i / 30][i % 3])[i / 3 % 10]) << "entry " << i / 3;
  pl_main = nullptr, pl_set();  // no table: nothing may be written through it
}

// The program reads them by relative name: the tests run in a copy of assets/.
TEST(Images, EveryPictureTheProgramShowsLoads) {
  for (const char *name : {"スマイリーno074.png", "supoit.png", "dot.png", "line.png", "box.png",
                           "box2.png", "maru.png", "maru2.png", "nuri.png"}) {
    g_autoptr(GdkPixbuf) picture = gdk_pixbuf_new_from_file(name, nullptr);
    EXPECT_TRUE(picture) << name;
  }
}
