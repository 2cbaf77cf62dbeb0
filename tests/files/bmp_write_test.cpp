#include "files/bmp_write.5.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/capture.h"
#include "support/state.h"
#include "support/workdir.h"

namespace {
std::uint32_t le(const std::string &b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; i--) v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
  return v;
}

// Exports the current canvas the way the commands do and returns the bytes.
std::string export_canvas(const std::string &path) {
  std::uint32_t *words = koma2int32(px_cnvs);
  EXPECT_EQ(bmp_write(path.c_str(), mv_size_widht, mv_size_heigth, words), 0);
  g_free(words);
  return read_file(path);
}

void expect_header(const std::string &b, int w, int h) {
  const std::uint32_t data = 4u * w * h;
  ASSERT_EQ(b.size(), 54 + data);
  EXPECT_EQ(b.substr(0, 2), "BM");
  EXPECT_EQ(le(b, 2, 4), 54 + data);                       // bfSize
  EXPECT_EQ(le(b, 6, 2), 0u);                              // bfReserved1
  EXPECT_EQ(le(b, 8, 2), 0u);                              // bfReserved2
  EXPECT_EQ(le(b, 10, 4), 54u);                            // bfOffBits
  EXPECT_EQ(le(b, 14, 4), 40u);                            // biSize
  EXPECT_EQ(static_cast<std::int32_t>(le(b, 18, 4)), w);   // biWidth
  EXPECT_EQ(static_cast<std::int32_t>(le(b, 22, 4)), -h);  // biHeight
  EXPECT_EQ(le(b, 26, 2), 1u);                             // biPlanes
  EXPECT_EQ(le(b, 28, 2), 32u);                            // biBitCount
  EXPECT_EQ(le(b, 30, 4), 0u);                             // biCompression
  EXPECT_EQ(le(b, 34, 4), data);                           // biSizeImage
  EXPECT_EQ(le(b, 38, 4), 37800u);                         // biXPelsPerMeter
  EXPECT_EQ(le(b, 42, 4), 37800u);                         // biYPelsPerMeter
  EXPECT_EQ(le(b, 46, 4), 0u);                             // biClrUsed
  EXPECT_EQ(le(b, 50, 4), 0u);                             // biClrImportant
}

// A colour for every cell that differs from its neighbours.
void paint_pattern() {
  for (int y = 0; y < mv_size_heigth; y++)
    for (int x = 0; x < mv_size_widht; x++)
      px_dot(px_cnvs, x, y, (x * 37) % 256, (y * 51) % 256, (x * 11 + y * 29) % 256);
}
}  // namespace

TEST(BmpWrite, WhiteDefaultCanvasHasEveryHeaderFieldAndWhitePixels) {
  reset_editor_state(64, 64);
  PrintCapture out;
  const std::string b = export_canvas(make_scratch_dir("bmp") + "/white.bmp");
  ASSERT_EQ(b.size(), 16438u);
  expect_header(b, 64, 64);
  for (std::size_t i = 54; i < b.size(); i += 4)
    ASSERT_EQ(b.substr(i, 4), std::string("\xFF\xFF\xFF\x00", 4)) << "byte " << i;
  EXPECT_EQ(out.count("16777215\n"), 64 * 64);
  EXPECT_NE(out.text().find("bmp_write\nbmp_write2\nbmp_write3\nbmp_write4\nbmp_write5\n"),
            std::string::npos);
}

TEST(BmpWrite, PixelOfEachCellLiesAtItsRowMajorOffset) {
  reset_editor_state(3, 2);
  struct Cell {
    int x, y, r, g, b;
    const char *bytes;  // blue, green, red, 0
  };
  const Cell cells[] = {
      {0, 0, 0, 255, 0, "\x00\xFF\x00\x00"},  // top-left: the first pixel in the file
      {2, 1, 255, 0, 0, "\x00\x00\xFF\x00"},
      {0, 1, 0, 0, 255, "\xFF\x00\x00\x00"},
      {2, 0, 1, 2, 3, "\x03\x02\x01\x00"},
  };
  for (const Cell &c : cells) px_dot(px_cnvs, c.x, c.y, c.r, c.g, c.b);
  PrintCapture out;
  const std::string b = export_canvas(make_scratch_dir("bmp") + "/small.bmp");
  ASSERT_EQ(b.size(), 78u);
  expect_header(b, 3, 2);
  for (const Cell &c : cells)
    EXPECT_EQ(b.substr(54 + 4 * (c.y * 3 + c.x), 4), std::string(c.bytes, 4))
        << c.x << "," << c.y;
  EXPECT_EQ(b.substr(54 + 4 * 1, 4), std::string("\xFF\xFF\xFF\x00", 4));
  // One trace line per cell, top row first.
  EXPECT_EQ(out.text().substr(0, out.text().find("bmp_write")),
            "65280\n16777215\n66051\n255\n16777215\n16711680\n");
}

TEST(BmpWrite, CanvasWithoutCellsGivesTheHeaderOnly) {
  for (auto size : {std::pair{0, 5}, std::pair{7, 0}, std::pair{0, 0}}) {
    reset_editor_state(size.first, size.second);
    PrintCapture out;
    std::uint32_t *words = koma2int32(px_cnvs);
    EXPECT_EQ(words, nullptr);
    EXPECT_EQ(out.text(), "error koma2int32\n");
    const std::string path = make_scratch_dir("bmp") + "/empty.bmp";
    EXPECT_EQ(bmp_write(path.c_str(), mv_size_widht, mv_size_heigth, words), 0);
    const std::string b = read_file(path);
    expect_header(b, size.first, size.second);
  }
}

TEST(BmpWrite, OutOfRangeComponentsWrapInThirtyTwoBits) {
  reset_editor_state(5, 1);
  const int cells[][3] = {{256, 0, 0}, {-1, 0, 0}, {0, 0, -1}, {70000, 300, 5}, {255, 255, 255}};
  for (int x = 0; x < 5; x++) px_dot(px_cnvs, x, 0, cells[x][0], cells[x][1], cells[x][2]);
  PrintCapture out;
  std::uint32_t *words = koma2int32(px_cnvs);
  ASSERT_NE(words, nullptr);
  const std::uint32_t want[] = {0x01000000u, 0xFFFF0000u, 0xFFFFFFFFu,
                                (70000u * 256u + 300u) * 256u + 5u, 0x00FFFFFFu};
  for (int i = 0; i < 5; i++) EXPECT_EQ(words[i], want[i]) << i;
  EXPECT_EQ(out.text(), "16777216\n-65536\n-1\n" +
                            std::to_string(static_cast<std::int32_t>(want[3])) + "\n16777215\n");
  g_free(words);
}

TEST(BmpWrite, GdkPixbufReadsEveryCellBack) {
  reset_editor_state(7, 5);
  paint_pattern();
  PrintCapture out;
  const std::string path = make_scratch_dir("bmp") + "/pattern.bmp";
  export_canvas(path);
  GError *err = nullptr;
  GdkPixbuf *pb = gdk_pixbuf_new_from_file(path.c_str(), &err);
  ASSERT_NE(pb, nullptr) << (err ? err->message : "");
  ASSERT_EQ(gdk_pixbuf_get_width(pb), 7);
  ASSERT_EQ(gdk_pixbuf_get_height(pb), 5);
  const int n = gdk_pixbuf_get_n_channels(pb);
  const guchar *px = gdk_pixbuf_get_pixels(pb);
  for (int y = 0; y < 5; y++)
    for (int x = 0; x < 7; x++) {
      const guchar *p = px + y * gdk_pixbuf_get_rowstride(pb) + x * n;
      int rgb[3];
      px_get_dot(px_cnvs, x, y, rgb);
      EXPECT_EQ(p[0], rgb[0]) << x << "," << y;
      EXPECT_EQ(p[1], rgb[1]) << x << "," << y;
      EXPECT_EQ(p[2], rgb[2]) << x << "," << y;
      if (n == 4) {
        EXPECT_EQ(p[3], 255) << "the picture must stay opaque";
      }
    }
  g_object_unref(pb);
}

TEST(BmpWrite, UnopenablePathIsReportedAndNothingIsWritten) {
  reset_editor_state(3, 2);
  const std::string dir = make_scratch_dir("bmp");
  std::uint32_t *words = koma2int32(px_cnvs);
  for (const std::string &path : {dir + "/missing/x.bmp", dir}) {
    PrintCapture out;
    EXPECT_EQ(bmp_write(path.c_str(), 3, 2, words), EOF) << path;
    EXPECT_EQ(out.text(), "") << path;
  }
  EXPECT_FALSE(g_file_test((dir + "/missing").c_str(), G_FILE_TEST_EXISTS));
  g_free(words);
}

TEST(BmpWrite, ShortWriteIsReportedAsFailure) {
  reset_editor_state(64, 64);
  const std::string path = make_scratch_dir("bmp") + "/limited.bmp";
  PrintCapture out;
  std::uint32_t *words = koma2int32(px_cnvs);
  const pid_t child = fork();
  if (child == 0) {
    // The file may grow to 1000 bytes only: the pixel write falls short.
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{1000, 1000};
    setrlimit(RLIMIT_FSIZE, &lim);
    _exit(bmp_write(path.c_str(), 64, 64, words) == EOF ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a truncated file was reported as written";
  EXPECT_LE(read_file(path).size(), 1000u);
  g_free(words);
}
