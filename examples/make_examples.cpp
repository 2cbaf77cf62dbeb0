// Draws the sample pictures in examples/ and writes them as KOMA documents
// with the program's own writer, so that they can be made again byte for
// byte: koma_examples FOLDER.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/document.h"

namespace {
struct Picture {
  int w, h;
  std::vector<int> cells;
  Picture(int width, int height) : w(width), h(height), cells(3 * w * h, 255) {}
  void put(int x, int y, const int *rgb) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    std::memcpy(&cells[3 * (y * w + x)], rgb, 3 * sizeof(int));
  }
};

// Colours of the editor's palette.
const int kBlack[3] = {0, 0, 0}, kWhite[3] = {255, 255, 255}, kRed[3] = {255, 0, 0};
const int kSkin[3] = {255, 191, 127}, kDarkRed[3] = {153, 0, 0}, kBrick[3] = {204, 101, 0};
const int kBrickDark[3] = {153, 76, 0}, kMortar[3] = {169, 169, 169}, kSun[3] = {255, 255, 0};
const int kSky[3] = {127, 191, 255}, kSkyHigh[3] = {0, 114, 229}, kSnow[3] = {226, 226, 226};
const int kRock[3] = {113, 113, 113}, kHill[3] = {0, 204, 0}, kGrass[3] = {0, 153, 0};
const int kPath[3] = {229, 172, 114};

// A mushroom with a face, 16 x 16, drawn cell by cell.
Picture character() {
  static const char *const kRows[] = {
      "................", "......KKKK......", "....KKRRRRKK....", "...KRRWWRRRRK...",
      "..KRRWWWWRRRRK..", "..KRRRWWRRRWWK..", ".KRRRRRRRRWWWWK.", ".KRWWRRRRRRWWRK.",
      ".KWWWWRRRRRRRRK.", ".KKKKKKKKKKKKKK.", "...KSSSSSSSSK...", "...KSSKSSKSSK...",
      "...KSSKSSKSSK...", "...KSDSSSSDSK...", "....KSSSSSSK....", ".....KKKKKK.....",
  };
  Picture p(16, 16);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) {
      const char c = kRows[y][x];
      p.put(x, y, c == 'K' ? kBlack : c == 'R' ? kRed : c == 'S' ? kSkin : c == 'D' ? kDarkRed
                                                                                   : kWhite);
    }
  return p;
}

// A brick wall that tiles: bricks of 8 x 4 cells, every other row shifted by
// half a brick, some bricks darker.
Picture tile() {
  Picture p(32, 32);
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 32; x++) {
      const int row = y / 4, shifted = (x + (row % 2) * 4) % 32;
      const bool mortar = y % 4 == 3 || shifted % 8 == 7;
      const bool dark = (row * 5 + shifted / 8 * 3) % 7 < 2;
      p.put(x, y, mortar ? kMortar : dark ? kBrickDark : kBrick);
    }
  return p;
}

// Sky, sun, clouds, a snowy mountain, green hills and a path, 64 x 32.
Picture landscape() {
  Picture p(64, 32);
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 64; x++) p.put(x, y, y < 6 ? kSkyHigh : kSky);
  for (int y = -4; y <= 4; y++)
    for (int x = -4; x <= 4; x++)
      if (x * x + y * y <= 17) p.put(50 + x, 6 + y, kSun);
  const int clouds[][3] = {{3, 9, 13}, {4, 7, 16}, {5, 8, 15}, {2, 30, 33}, {3, 28, 36}};
  for (const auto &c : clouds)  // row, first and last column
    for (int x = c[1]; x <= c[2]; x++) p.put(x, c[0], kSnow);  // white would not show
  for (int y = 8; y < 32; y++)  // the mountain, its peak at (20, 8)
    for (int x = 20 - (y - 8); x <= 20 + (y - 8); x++) p.put(x, y, y < 12 ? kSnow : kRock);
  for (int x = 0; x < 64; x++) {  // hills: a gentle wave of whole cells
    const int d = (x % 32) - 16, top = 18 + d * d / 32;
    for (int y = top; y < 32; y++) p.put(x, y, y < 24 ? kHill : kGrass);
  }
  for (int y = 24; y < 32; y++)  // the path widens towards the viewer
    for (int x = 40 - (y - 24); x <= 43 + (y - 24); x++) p.put(x, y, kPath);
  return p;
}

bool write(const std::string &folder, const char *name, const Picture &p) {
  const std::string path = folder + "/" + name;
  if (koma_write_file(path.c_str(), p.w, p.h, p.cells.data()) == FileReplace::Done) return true;
  std::fprintf(stderr, "koma_examples: cannot write %s\n", path.c_str());
  return false;
}
}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) return std::fprintf(stderr, "usage: koma_examples FOLDER\n"), 2;
  const bool ok = write(argv[1], "character.koma", character()) &&
                  write(argv[1], "tile.koma", tile()) &&
                  write(argv[1], "landscape.koma", landscape());
  return ok ? 0 : 1;
}
