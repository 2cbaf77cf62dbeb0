#include "files/bmp_write.5.h"

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "support/capture.h"
#include "support/state.h"
#include "support/workdir.h"

static std::string header(std::int64_t w, std::int64_t h) {
  std::string s = "BM";
  auto put = [&s](std::int64_t v, int n) { for (int i = 0; i < n; i++) s += char(v >> 8 * i); };
  put(54 + 4 * w * h, 4), put(0, 4), put(54, 4);             // bfSize, reserved, bfOffBits
  put(40, 4), put(w, 4), put(-h, 4), put(1, 2), put(32, 2);  // biSize .. biBitCount
  put(0, 4), put(4 * w * h, 4), put(37800, 4), put(37800, 4), put(0, 8);
  return s;
}

TEST(BmpWrite, FileIsTheHeaderAndThenTheCellsTopRowFirst) {
  for (auto [w, h] : {std::pair{64, 64}, std::pair{3, 2}, std::pair{0, 5}, std::pair{7, 0}}) {
    reset_editor_state(w, h);
    std::string want = header(w, h);
    for (int i = 0; i < w * h; i++) want.append("\xFF\xFF\xFF\x00", 4);  // white
    if (w == 3) {  // cell (x, y) at 54 + 4 * (y * 3 + x): blue, green, red, 0
      px_dot(px_cnvs, 0, 0, 0, 255, 0), want.replace(54, 4, "\x00\xFF\x00\x00", 4);
      px_dot(px_cnvs, 0, 1, 0, 0, 255), want.replace(54 + 4 * 3, 4, "\xFF\x00\x00\x00", 4);
      px_dot(px_cnvs, 2, 1, 255, 0, 0), want.replace(54 + 4 * 5, 4, "\x00\x00\xFF\x00", 4);
    }
    const std::string path = make_scratch_dir("bmp") + "/out.bmp";
    PrintCapture out;
    std::uint32_t *words = koma2int32(px_cnvs);
    EXPECT_EQ(bmp_write(path.c_str(), mv_size_widht, mv_size_heigth, words), 0);
    g_free(words);
    const std::string b = read_file(path);
    EXPECT_EQ(b.size(), w == 64 ? 16438u : w == 3 ? 78u : 54u);
    EXPECT_TRUE(b == want) << w << " x " << h;
    EXPECT_EQ(out.count("error koma2int32\n"), w * h > 0 ? 0 : 1);
  }
}
