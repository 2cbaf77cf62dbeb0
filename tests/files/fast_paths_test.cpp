// The fast paths of reading, writing and exporting against straightforward
// references built on the C library's formatted input and output.
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
