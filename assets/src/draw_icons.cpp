// Redraws the program's runtime images and its application icon from the
// pixel maps below.
// Build and run:  cmake -S . -B build -DKOMA_ICONS=ON && cmake --build build --target koma_icons
//                 && (cd assets && ../build/assets/src/koma_icons)
// Each map is 16 x 16 characters. The runtime images go to the working
// directory at 2 x 2 pixels a character; the application icon goes to
// ../data/icons/<size>/koma.png at every size of kAppIconSizes, each
// character a whole block, as befits a pixel-art editor.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib/gstdio.h>

namespace {

struct Ink {
  char key;
  unsigned rgba;  // 0xRRGGBBAA
};

// Shared colours; '.' is transparent.
const Ink kInks[] = {
    {'.', 0x00000000}, {'k', 0x202020FF}, {'w', 0xFFFFFFFF}, {'y', 0xFFD21EFF},
    {'o', 0xE8A000FF}, {'r', 0xD83030FF}, {'b', 0x2F6FD8FF}, {'g', 0x3CA040FF},
    {'s', 0x8C8C8CFF}, {'l', 0xC8C8C8FF}, {'p', 0xF07890FF}, {'c', 0xBFE4F4FF},
};

struct Icon {
  const char *file;
  const char *rows[16];
};

// The application icon: a picture of cells (a heart) above three swatches.
const Icon kAppIcon = {
    "koma.png",
    {"kkkkkkkkkkkkkkkk",
     "kwwwwwwwwwwwwwwk",
     "kwwwrrrwwrrrwwwk",
     "kwwrrwrrrrrrrwwk",
     "kwwrwrrrrrrrrwwk",
     "kwwrrrrrrrrrrwwk",
     "kwwwrrrrrrrrwwwk",
     "kwwwwrrrrrrwwwwk",
     "kwwwwwrrrrwwwwwk",
     "kwwwwwwrrwwwwwwk",
     "kwwwwwwwwwwwwwwk",
     "kkkkkkkkkkkkkkkk",
     "kyyyykggggkbbbbk",
     "kyyyykggggkbbbbk",
     "kyyyykggggkbbbbk",
     "kkkkkkkkkkkkkkkk"}};
const int kAppIconSizes[] = {16, 32, 48, 64, 128};
constexpr const char *kAppIconDir = "../data/icons";

const Icon kIcons[] = {
    {"スマイリーno074.png",
     {"................",
      ".....kkkkkk.....",
      "...kkyyyyyykk...",
      "..kyyyyyyyyyyk..",
      ".kyyyyyyyyyyyyk.",
      ".kyyykyyyykyyyk.",
      "kyyyykyyyykyyyyk",
      "kyyyykyyyykyyyyk",
      "kyyyyyyyyyyyyyyk",
      "kyppyyyyyyyyppyk",
      "kyyykyyyyyykyyyk",
      ".kyyykyyyykyyyk.",
      ".kyyyykkkkyyyyk.",
      "..kyyyyyyyyyyk..",
      "...kkyyyyyykk...",
      ".....kkkkkk....."}},
    // Tool bar, colour picker: a dropper.
    {"supoit.png",
     {"...........kkk..",
      "..........krrrk.",
      ".........krwrrrk",
      ".........krrrrrk",
      "........kkrrrrrk",
      ".......ksskrrrk.",
      "......ksssskkk..",
      ".......kcsssk...",
      "......kcwcssk...",
      ".....kcwcck.....",
      "....kccck.......",
      "...kbbck........",
      "..kbbbk.........",
      "..kbbk..........",
      ".kbkk...........",
      "..k............."}},
    // Tool bar, dot: one cell set in the grid.
    {"dot.png",
     {"llllllllllllllll",
      "lwwwwlwwwwlwwwwl",
      "lwwwwlwwwwlwwwwl",
      "lwwwwlwwwwlwwwwl",
      "lwwwwlwwwwlwwwwl",
      "llllllllllllllll",
      "lwwwwlkkkklwwwwl",
      "lwwwwlkkkklwwwwl",
      "lwwwwlkkkklwwwwl",
      "lwwwwlkkkklwwwwl",
      "llllllllllllllll",
      "lwwwwlwwwwlwwwwl",
      "lwwwwlwwwwlwwwwl",
      "lwwwwlwwwwlwwwwl",
      "lwwwwlwwwwlwwwwl",
      "llllllllllllllll"}},
    // Tool bar, line.
    {"line.png",
     {"................",
      ".............kk.",
      "............kk..",
      "...........kk...",
      "..........kk....",
      ".........kk.....",
      "........kk......",
      ".......kk.......",
      "......kk........",
      ".....kk.........",
      "....kk..........",
      "...kk...........",
      "..kk............",
      ".kk.............",
      "................",
      "................"}},
    // Tool bar, square.
    {"box.png",
     {"................",
      "................",
      "..kkkkkkkkkkkk..",
      "..k..........k..",
      "..k..........k..",
      "..k..........k..",
      "..k..........k..",
      "..k..........k..",
      "..k..........k..",
      "..k..........k..",
      "..k..........k..",
      "..k..........k..",
      "..k..........k..",
      "..kkkkkkkkkkkk..",
      "................",
      "................"}},
    // Tool bar, rectangle.
    {"box2.png",
     {"................",
      "................",
      "................",
      "................",
      "kkkkkkkkkkkkkkkk",
      "k..............k",
      "k..............k",
      "k..............k",
      "k..............k",
      "k..............k",
      "k..............k",
      "kkkkkkkkkkkkkkkk",
      "................",
      "................",
      "................",
      "................"}},
    // Tool bar, circle.
    {"maru.png",
     {"................",
      ".....kkkkkk.....",
      "...kk......kk...",
      "..k..........k..",
      "..k..........k..",
      ".k............k.",
      ".k............k.",
      ".k............k.",
      ".k............k.",
      ".k............k.",
      ".k............k.",
      "..k..........k..",
      "..k..........k..",
      "...kk......kk...",
      ".....kkkkkk.....",
      "................"}},
    // Tool bar, ellipse.
    {"maru2.png",
     {"................",
      "................",
      "................",
      "....kkkkkkkk....",
      "..kk........kk..",
      ".k............k.",
      "k..............k",
      "k..............k",
      "k..............k",
      "k..............k",
      ".k............k.",
      "..kk........kk..",
      "....kkkkkkkk....",
      "................",
      "................",
      "................"}},
    // Tool bar, flood fill: a paint bucket.
    {"nuri.png",
     {"................",
      "....kkkk........",
      "...k....k.......",
      "..k......k......",
      ".kkkkkkkkkk.....",
      ".kbbbbbbbbkbb...",
      ".kkkkkkkkkkbbb..",
      ".ksllllwllk.bb..",
      ".ksllllwllk.bb..",
      "..kslllwlk..bb..",
      "..kslllwlk...b..",
      "..ksllllk...bbb.",
      "...kkkkk...bbbbb",
      "...........bbbbb",
      "............bbb.",
      "................"}},
};

bool ink_of(char key, unsigned *rgba) {
  for (const Ink &ink : kInks)
    if (ink.key == key) {
      *rgba = ink.rgba;
      return true;
    }
  return false;
}

// Writes `icon` to `path`, each character a scale x scale block.
bool write_icon(const Icon &icon, const char *path, int scale) {
  const int side = 16 * scale;
  std::vector<guchar> px(side * side * 4);
  for (int y = 0; y < 16; y++) {
    if (std::strlen(icon.rows[y]) != 16) {
      std::fprintf(stderr, "%s: row %d is not 16 wide\n", icon.file, y);
      return false;
    }
    for (int x = 0; x < 16; x++) {
      unsigned c;
      if (!ink_of(icon.rows[y][x], &c)) {
        std::fprintf(stderr, "%s: unknown ink '%c'\n", icon.file, icon.rows[y][x]);
        return false;
      }
      for (int dy = 0; dy < scale; dy++)
        for (int dx = 0; dx < scale; dx++) {
          guchar *p = &px[((y * scale + dy) * side + x * scale + dx) * 4];
          p[0] = c >> 24;
          p[1] = (c >> 16) & 0xFF;
          p[2] = (c >> 8) & 0xFF;
          p[3] = c & 0xFF;
        }
    }
  }
  GdkPixbuf *pb = gdk_pixbuf_new_from_data(px.data(), GDK_COLORSPACE_RGB, TRUE, 8, side, side,
                                           side * 4, nullptr, nullptr);
  GError *err = nullptr;
  const bool ok = gdk_pixbuf_save(pb, path, "png", &err, nullptr);
  if (!ok) {
    std::fprintf(stderr, "%s: %s\n", path, err->message);
    g_error_free(err);
  }
  g_object_unref(pb);
  return ok;
}

}  // namespace

int main() {
  int failures = 0;
  for (const Icon &icon : kIcons) failures += write_icon(icon, icon.file, 2) ? 0 : 1;
  for (int size : kAppIconSizes) {
    const std::string dir = std::string(kAppIconDir) + "/" + std::to_string(size);
    g_mkdir_with_parents(dir.c_str(), 0755);
    failures += write_icon(kAppIcon, (dir + "/" + kAppIcon.file).c_str(), size / 16) ? 0 : 1;
  }
  return failures == 0 ? 0 : 1;
}
