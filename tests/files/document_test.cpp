#include "files/document.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
#include "files/bmp_write.5.h"
#include "files/export.h"
#include "files/file_commands.h"
#include "support/capture.h"
#include "support/child.h"
#include "support/state.h"
#include "support/workdir.h"

static std::string repeat(const char *s, int n) { std::string r; while (n-- > 0) r += s; return r; }
static std::string whites(int n) { return repeat("255,255,255\n", n); }

static std::string state() {  // the picture as a document, the name and both flags
  return koma_format(mv_size_widht, mv_size_heigth, px_cnvs) + "|" + now_file_name + "|" +
         std::to_string(save_fg) + std::to_string(start_fg);
}

static void filed_picture(const std::string &name) {  // changed, and with a file of its own
  reset_editor_state(5, 4);
  px_dot(px_cnvs, 1, 0, 200, 100, 50);
  g_strlcpy(now_file_name, name.c_str(), sizeof now_file_name), save_fg = 1, start_fg = 0;
}

TEST(Document, WriterBytesAndRoundTrip) {
  const std::string path = make_scratch_dir("writer") + "/doc.koma";
  auto written = [&] { return px_write_document(path.c_str()) ? read_file(path) : "failed"; };
  reset_editor_state(2, 1);
  px_dot(px_cnvs, 0, 0, 255, 0, 0);
  EXPECT_EQ(written(), "koma1.0\n2 x 1\n255,0,0\n255,255,255\n");  // 34 bytes
  reset_editor_state(64, 64);
  EXPECT_EQ(written(), "koma1.0\n64 x 64\n" + whites(64 * 64));  // 49,168 bytes
  reset_editor_state(37, 23);  // random colours; out-of-range components in the last cell
  for (unsigned i = 0, r = 1; i < 3 * 37 * 23; i++) px_cnvs[i] = (r = r * 1103515245 + 1) >> 24;
  px_dot(px_cnvs, 36, 22, -2147483647 - 1, 2147483647, 256);
  ASSERT_EQ(written(), koma_format(37, 23, px_cnvs));
  filed_picture("before.koma");
  px_open(path.c_str());
  EXPECT_EQ(state(), read_file(path) + "|" + path + "|00");
}

TEST(DocumentOpen, AcceptsWhatFormattedInputAcceptsAndRefusesTheRest) {
  const std::string two = "koma1.0\n2 x 1\n255,0,0\n" + whites(1), part = "koma1.0\n2 x 2\n1,2,3\n";
  const std::string e = "error... ", bad = e + "KOMAのファイルではありません。";
  const std::string size = e + "大きさが", cut = e + "ファイルが不完全です。残りは白にしました。";
  const struct { std::string bytes, want, message; } cases[] = {  // want "": refused, no change
      {"koma1.0\n2 x 1\r\n255,0,0\r\n255,255,255\r\n", two, ""},
      {"koma1.0\n2x1\n255, 0, 0 255,\t255,\n255\n", two, ""},
      {"koma1.0\n \t+2\n x\n\n1 +255,-0,+0\n255,255,255\n9,9,9\nanything\n", two, ""},
      {"koma1.0\n0 x 5\n", "koma1.0\n0 x 5\n", ""},  // 3 x 2 is opened through the menu
      {part + "4,5,6\n", part + "4,5,6\n" + whites(2), cut},
      {part + "4 ,5,6\n7,8,9\n1,1,1\n", part + whites(3), cut},
      {part + "4,5,99999999999\n7,8,9\n1,1,1\n", part + whites(3), cut},
      {"koma1.0\r\n1 x 1\n1,1,1\r\n", "", bad}, {"", "", bad}, {"koma1.0", "", bad},
      {"P3\n1 1\n255\n0 0 0\n", "", bad}, {"(none)", "", e + "ファイルを開けません。"},
      {"koma1.0\n2X1\n", "", size + "読めません。"}, {"koma1.0\n3x-2\n", "", size + "負の数です。"},
      {"koma1.0\n2049 x 1\n", "", size + "2048を超えています。"},
  };
  const std::string path = make_scratch_dir("open") + "/doc.koma";
  for (const auto &c : cases) {
    write_file(path, c.bytes);
    filed_picture("/elsewhere/before.koma");
    const std::string before = state(), opened = c.bytes == "(none)" ? path + ".none" : path;
    EXPECT_EQ(px_open(opened.c_str()), !c.want.empty()) << c.bytes;
    EXPECT_EQ(state() + px_status_text,
              (c.want.empty() ? before : c.want + "|" + path + "|00") + c.message) << c.bytes;
  }
}

TEST(DocumentOpen, OnlyFilesAndPipesWithAWriterAreRead) {
  const std::string dir = make_scratch_dir("pipes"), fifo = dir + "/fifo.koma";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string refused = in_child([&] {  // where an open that waits is ended by the alarm
    alarm(5);
    std::string out;
    for (const std::string &path : {fifo, std::string("/dev/null"), dir}) {  // no writer; device; folder
      filed_picture("/elsewhere/before.koma");
      const std::string before = state();
      const auto t0 = std::chrono::steady_clock::now();
      const int opened = px_open(path.c_str());
      const bool quick = std::chrono::steady_clock::now() - t0 < std::chrono::seconds(1);
      out += std::to_string(opened) + (state() == before ? " kept" : " changed") +
             (quick ? " at once " : " slowly ") + px_status_text + "\n";
    }
    return out;
  });
  EXPECT_EQ(refused, repeat("0 kept at once error... ファイルを開けません。\n", 3));
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  const std::string doc = "koma1.0\n2 x 1\n255,0,0\n255,255,255\n";
  const pid_t writer = fork();
  if (writer == 0) {  // a slow writer: the rest of the document comes a moment later
    const bool ok = write(p[1], doc.data(), 20) == 20 && usleep(300000) == 0 &&
                    write(p[1], doc.data() + 20, doc.size() - 20) == ssize_t(doc.size() - 20);
    _exit(ok ? 0 : 1);
  }
  close(p[1]);
  filed_picture("/elsewhere/before.koma");
  const std::string path = "/dev/fd/" + std::to_string(p[0]);
  EXPECT_EQ(px_open(path.c_str()), 1);
  EXPECT_EQ(state() + px_status_text, doc + "|" + path + "|00");
  close(p[0]);
  waitpid(writer, nullptr, 0);
}

TEST(DocumentSave, FailuresKeepTheOldFileAndTheDocumentUnsaved) {
  const std::string dir = make_scratch_dir("failed"), old = "koma1.0\n1 x 1\n10,20,30\n";
  std::filesystem::create_directories(dir + "/folder.koma/inside");
  write_file(dir + "/old.koma", old);
  const struct { std::string target; rlimit limit; std::string message; } cases[] = {
      {dir + "/no/such/a.koma", {RLIM_INFINITY, RLIM_INFINITY}, "保存先のフォルダがありません。"},
      {dir + "/folder.koma", {RLIM_INFINITY, RLIM_INFINITY}, "保存先がフォルダです。"},
      {dir + "/old.koma", {64, 64}, "ディスクがいっぱいで保存できません。"},  // 253 bytes
  };
  for (const auto &c : cases) {  // each in a child, which alone gets the file-size limit
    EXPECT_EXIT({
      signal(SIGXFSZ, SIG_IGN);
      setrlimit(RLIMIT_FSIZE, &c.limit);
      filed_picture(c.target);
      const std::string before = state();
      cb_save();
      std::exit((state() != before) | (px_status_text != "error... " + c.message) << 1);
    }, testing::ExitedWithCode(0), "") << c.target << ": 1 state changed, 2 wrong message";
  }
  EXPECT_EQ(read_file(dir + "/old.koma"), old);  // and no temporary file is left
  EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(dir), {}), 3);
}

static std::string header(std::uint32_t w, std::uint32_t h) {  // top-down, little-endian
  const std::uint32_t f[] = {54 + 4 * w * h, 0, 54,  // file size, reserved, offset of the pixels
                             40, w, -h, 1 | 32 << 16, 0, 4 * w * h, 37800, 37800, 0, 0};
  return "BM" + std::string(reinterpret_cast<const char *>(f), sizeof f);
}

TEST(BmpWrite, FileIsTheHeaderAndThenTheCellsTopRowFirst) {
  const struct { int w, h; } cases[] = {{64, 64}, {3, 2}, {0, 5}};  // 16,438, 78 and 54 bytes
  for (const auto &c : cases) {
    reset_editor_state(c.w, c.h);
    std::string want = header(c.w, c.h);
    for (int i = 0; i < c.w * c.h; i++) want.append("\xFF\xFF\xFF\x00", 4);  // white
    if (c.w == 3) {  // cell (x, y) at 54 + 4 * (y * 3 + x): blue, green, red, 0
      px_dot(px_cnvs, 0, 0, 255, 0, 0), want.replace(54, 4, "\x00\x00\xFF\x00", 4);
      px_dot(px_cnvs, 2, 0, 0, 0, 255), want.replace(54 + 4 * 2, 4, "\xFF\x00\x00\x00", 4);
    }
    PrintCapture out;
    std::unique_ptr<std::uint32_t, decltype(&g_free)> words(koma2int32(px_cnvs), &g_free);
    EXPECT_EQ(bmp_write("out.bmp", c.w, c.h, words.get()), 0);
    EXPECT_TRUE(read_file("out.bmp") == want) << c.w << " x " << c.h;
    EXPECT_EQ(out.count("error koma2int32\n"), c.w * c.h > 0 ? 0 : 1);
  }
}

TEST(ExportName, ExtensionOfTheFileItselfIsReplaced) {
  const std::string stem = "/d.d/" + repeat("あ", 337);  // too long: cut between characters
  const struct { std::string doc; const char *ext; std::string want, traces; } cases[] = {
      {"無題.koma", ".bmp", "無題.bmp", "l=11\nl=6\n\n無題\n"},
      {"/home/u/pic.koma", ".png", "/home/u/pic.png", "l=16\nl=11\n\n/home/u/pic\n"},
      {"pic", ".jpeg", "pic.jpeg", "l=3\nl=-1\n\npic\n"},
      {"/home/u.v/pic", ".bmp", "/home/u.v/pic.bmp", "l=13\nl=-1\n\n/home/u.v/pic\n"},
      {stem + "あああ.koma", ".jpeg", stem + ".jpeg", "l=1022\nl=-1\n\n" + stem + "\n"},
  };
  for (const auto &c : cases) {
    PrintCapture out;
    char buf[kTextBufSize];
    export_suggested_name(buf, sizeof buf, c.doc.c_str(), c.ext);
    EXPECT_EQ(buf + ("|" + out.text()), c.want + "|" + c.traces);
  }
}
