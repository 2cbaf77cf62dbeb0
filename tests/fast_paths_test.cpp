// The fast paths of reading, writing, exporting and filling against
// straightforward references.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <glib.h>
#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "files/bmp_write.5.h"
#include "files/document.h"
#include "support/capture.h"
#include "support/state.h"
#include "tools/fill.h"

namespace {
// Reads a document the way formatted input does: " %d x %d", then "%d,%d,%d"
// until a cell cannot be read or holds a number beyond int.
bool reference_parse(const std::string &text, KomaDoc *doc) {
  if (text.compare(0, 8, "koma1.0\n") != 0) return false;
  const char *p = text.c_str() + 8;
  int n = 0;
  if (std::sscanf(p, "%d x %d%n", &doc->width, &doc->height, &n) != 2) return false;
  doc->cells.clear();
  for (long i = 0; i < long(doc->width) * doc->height; i++) {
    long c[3];  // wide enough to see a number beyond int, which ends the cells
    p += n;
    if (std::sscanf(p, "%ld,%ld,%ld%n", &c[0], &c[1], &c[2], &n) != 3) break;
    if (std::max({c[0], c[1], c[2]}) > INT_MAX || std::min({c[0], c[1], c[2]}) < INT_MIN) break;
    doc->cells.insert(doc->cells.end(), c, c + 3);
  }
  return true;
}

// The scanline fill cell by cell through px_get_dot and px_dot.
void reference_fill(int x, int y, const int *fill) {
  int t[3], c[3];
  px_get_dot(px_cnvs, x, y, t);
  if (t[0] == fill[0] && t[1] == fill[1] && t[2] == fill[2]) return;
  auto target = [&](int cx, int cy) {
    return px_get_dot(px_cnvs, cx, cy, c) && c[0] == t[0] && c[1] == t[1] && c[2] == t[2];
  };
  std::vector<std::pair<int, int>> stack{{x, y}};
  while (!stack.empty()) {
    auto [cx, cy] = stack.back();
    stack.pop_back();
    bool up = false, down = false;
    while (target(cx, cy)) cx--;
    for (cx++; target(cx, cy); cx++) {
      for (auto [ny, flag] : {std::pair<int, bool *>{cy - 1, &up}, {cy + 1, &down}}) {
        if (target(cx, ny) && !*flag) stack.push_back({cx, ny});
        *flag = target(cx, ny);
      }
      px_dot(px_cnvs, cx, cy, fill[0], fill[1], fill[2]);
    }
  }
}

std::string random_number(std::mt19937 &rng) {
  static const char *const kShapes[] = {"%d", "%d", "%d", "+%d", "-%d", "000%d", "%d"};
  char buf[32];
  std::snprintf(buf, sizeof buf, kShapes[rng() % 7], int(rng() % (rng() % 4 ? 256 : 100000)));
  return buf;
}

// Documents mostly in the writer's form, with the variations the reader
// takes (blanks, CR LF, several cells a line, signs, zeros) and some damage.
std::string random_document(std::mt19937 &rng) {
  static const char *const kGaps[] = {"\n", "\n", "\n", " ", "\r\n", "\t\n ", ""};
  const int w = rng() % 9, h = rng() % 9;
  std::string s = "koma1.0\n" + std::to_string(w) + (rng() % 5 ? " x " : "x") +
                  std::to_string(h) + "\n";
  for (int i = 0; i < w * h + 2; i++) {
    s += random_number(rng) + "," + (rng() % 9 ? "" : " ") + random_number(rng) + "," +
         random_number(rng) + kGaps[rng() % 7];
    if (rng() % 60 == 0) s += "#";  // an unreadable cell from here on
  }
  return s.substr(0, rng() % 4 ? s.size() : rng() % (s.size() + 1));
}
}  // namespace

TEST(FastPaths, ParserReadsWhatFormattedInputReads) {
  std::mt19937 rng(5);
  for (int round = 0; round < 3000; round++) {
    const std::string text = random_document(rng);
    KomaDoc got, want;
    const bool ok = koma_parse(text.data(), text.size(), &got);
    ASSERT_EQ(ok, reference_parse(text, &want)) << text;
    if (!ok) continue;
    EXPECT_EQ(got.width, want.width) << text;
    EXPECT_EQ(got.cells, want.cells) << text;
    EXPECT_EQ(got.status == KomaStatus::Complete,
              want.cells.size() == 3u * want.width * want.height) << text;
  }
}

TEST(FastPaths, WriterAndExportTraceMatchPrintf) {
  std::mt19937 rng(9);
  reset_editor_state(37, 29);
  const int extremes[] = {INT_MIN, INT_MAX, -1, 0, 255, 256, 999, 1000, -256};
  std::string want_doc = "koma1.0\n37 x 29\n", want_trace;
  for (int i = 0; i < 37 * 29; i++) {
    int *c = px_cnvs + 3 * i;
    for (int k = 0; k < 3; k++) c[k] = rng() % 5 ? int(rng() % 256) : extremes[rng() % 9];
    char line[64];
    want_doc += std::string(line, std::snprintf(line, sizeof line, "%d,%d,%d\n", c[0], c[1], c[2]));
    const std::uint32_t word = (std::uint32_t(c[0]) * 256u + std::uint32_t(c[1])) * 256u + std::uint32_t(c[2]);
    want_trace += std::string(line, std::snprintf(line, sizeof line, "%d\n", std::int32_t(word)));
  }
  EXPECT_EQ(koma_format(37, 29, px_cnvs), want_doc);
  KomaDoc back;
  ASSERT_TRUE(koma_parse(want_doc.data(), want_doc.size(), &back));
  EXPECT_EQ(back.cells, std::vector<int>(px_cnvs, px_cnvs + 3 * 37 * 29));
  PrintCapture out;
  g_free(koma2int32(px_cnvs));
  EXPECT_EQ(out.text(), want_trace);
}

TEST(FastPaths, FillRecoloursWhatTheCellByCellFillRecolours) {
  std::mt19937 rng(13);
  for (int round = 0; round < 200; round++) {
    const int w = 1 + rng() % 30, h = 1 + rng() % 30, n = 3 * w * h;
    reset_editor_state(w, h);
    for (int i = 0; i < w * h; i++) px_cnvs[3 * i] = rng() % 3 ? 255 : int(rng() % 3);
    const std::vector<int> start(px_cnvs, px_cnvs + n);
    const int x = rng() % w, y = rng() % h, fill[3] = {int(rng() % 3), 255, 255};
    reference_fill(x, y, fill);
    const std::vector<int> want(px_cnvs, px_cnvs + n);
    std::copy(start.begin(), start.end(), px_cnvs);
    px_paint(x, y, fill[0], fill[1], fill[2]);
    EXPECT_EQ(std::vector<int>(px_cnvs, px_cnvs + n), want) << w << "x" << h << " at " << x << "," << y;
  }
}
