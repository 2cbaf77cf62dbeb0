#include "files/document.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "files/file_commands.h"
#include "support/state.h"
#include "support/workdir.h"

namespace {
std::string whites(int n) { return n > 0 ? "255,255,255\n" + whites(n - 1) : ""; }

// Size, cells, name and both flags; the window titles are checked with the windows.
std::string state() {
  return koma_format(mv_size_widht, mv_size_heigth, px_cnvs) + "|" + now_file_name + "|" +
         std::to_string(save_fg) + std::to_string(start_fg);
}

void filed_picture(const std::string &name) {  // 5 x 4, changed, with a file of its own
  reset_editor_state(5, 4);
  px_dot(px_cnvs, 1, 0, 200, 100, 50);
  snprintf(now_file_name, sizeof now_file_name, "%s", name.c_str());
  save_fg = 1;
  start_fg = 0;
}
}  // namespace

TEST(Document, WriterBytesAndRoundTrip) {
  const std::string path = make_scratch_dir("writer") + "/doc.koma";
  reset_editor_state(2, 1);
  px_dot(px_cnvs, 0, 0, 255, 0, 0);
  ASSERT_EQ(px_write_document(path.c_str()), 1);
  EXPECT_EQ(read_file(path), "koma1.0\n2 x 1\n255,0,0\n" + whites(1));  // 34 bytes
  reset_editor_state(64, 64);
  ASSERT_EQ(px_write_document(path.c_str()), 1);
  EXPECT_EQ(read_file(path), "koma1.0\n64 x 64\n" + whites(64 * 64));  // 49,168 bytes
  reset_editor_state(37, 23);  // random colours, and out-of-range components in the last cell
  for (unsigned i = 0, r = 1; i < 3 * 37 * 23; i++) px_cnvs[i] = (r = r * 1103515245 + 1) >> 24;
  px_dot(px_cnvs, 36, 22, -2147483647 - 1, 2147483647, 256);
  const std::string written = koma_format(37, 23, px_cnvs);
  ASSERT_EQ(px_write_document(path.c_str()), 1);
  filed_picture("before.koma");
  ASSERT_EQ(px_open(path.c_str()), 1);
  EXPECT_EQ(state(), written + "|" + path + "|00");
}

// Each input with the canonical form it loads; "": refused, leaving the state as it was.
TEST(DocumentOpen, AcceptsWhatFormattedInputAcceptsAndRefusesTheRest) {
  const std::string two = "koma1.0\n2 x 1\n255,0,0\n" + whites(1);
  const std::string part = "koma1.0\n2 x 2\n1,2,3\n";
  const std::string incomplete = "error... ファイルが不完全です。残りは白にしました。";
  const std::string bad = "error... KOMAのファイルではありません。", size = "error... 大きさが";
  const std::string negative = size + "負の数です。", too_large = size + "2048を超えています。";
  const struct { std::string bytes, want, message; } cases[] = {
      {"koma1.0\n2 x 1\r\n255,0,0\r\n255,255,255\r\n", two, ""},
      {"koma1.0\n2x1\n255, 0, 0 255,\t255,\n255\n", two, ""},
      {"koma1.0\n \t+2\n x\n\n1 +255,-0,+0\n255,255,255\n9,9,9\nanything\n", two, ""},
      {"koma1.0\n0 x 5\n", "koma1.0\n0 x 5\n", ""},  // 3 x 2 is opened through the menu
      {part + "4,5,6\n", part + "4,5,6\n" + whites(2), incomplete},
      {part + "4 ,5,6\n7,8,9\n1,1,1\n", part + whites(3), incomplete},
      {part + "4,5,99999999999\n7,8,9\n1,1,1\n", part + whites(3), incomplete},
      {"koma1.0\r\n1 x 1\n1,1,1\r\n", "", bad}, {"", "", bad}, {"koma1.0", "", bad},
      {"P3\n1 1\n255\n0 0 0\n", "", bad}, {"koma1.0\n2 X 1\n", "", size + "読めません。"},
      {"koma1.0\n3 x -2\n", "", negative}, {"koma1.0\n-99999999999 x 1\n", "", negative},
      {"koma1.0\n2049 x 1\n", "", too_large}, {"koma1.0\n1 x 2147483648\n", "", too_large},
      {"(no file)", "", "error... ファイルを開けません。"},
  };
  const std::string path = make_scratch_dir("open") + "/doc.koma";
  for (const auto &c : cases) {
    std::filesystem::remove(path);
    if (c.bytes != "(no file)") write_file(path, c.bytes);
    filed_picture("/elsewhere/before.koma");
    const std::string before = state();
    EXPECT_EQ(px_open(path.c_str()), !c.want.empty()) << c.bytes;
    EXPECT_EQ(state(), c.want.empty() ? before : c.want + "|" + path + "|00") << c.bytes;
    EXPECT_EQ(px_status_text, c.message) << c.bytes;
  }
}

// Each save runs in a child, which alone gets the file-size limit.
TEST(DocumentSave, FailuresKeepTheOldFileAndTheDocumentUnsaved) {
  const std::string dir = make_scratch_dir("failed"), old = "koma1.0\n1 x 1\n10,20,30\n";
  std::filesystem::create_directories(dir + "/folder.koma/inside");
  write_file(dir + "/old.koma", old);
  const struct { std::string target; rlim_t limit; std::string message; } cases[] = {
      {dir + "/no/such/a.koma", RLIM_INFINITY, "error... 保存先のフォルダがありません。"},
      {dir + "/folder.koma", RLIM_INFINITY, "error... 保存先がフォルダです。"},
      {dir + "/old.koma", 64, "error... 保存できませんでした。"},  // 253 bytes to write
  };
  for (const auto &c : cases) {
    const pid_t child = fork();
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit = {c.limit, c.limit};
      setrlimit(RLIMIT_FSIZE, &limit);
      filed_picture(c.target);
      const std::string before = state();
      cb_save();
      _exit((state() != before) | (px_status_text != c.message) << 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0) << c.target;  // 256: the state changed; 512: no or another message
  }
  EXPECT_EQ(read_file(dir + "/old.koma"), old);
  std::filesystem::recursive_directory_iterator left(dir);  // no temporary file either
  EXPECT_EQ(std::distance(begin(left), end(left)), 3);
}
