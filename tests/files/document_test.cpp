#include "files/document.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "canvas/cells.h"
#include "files/file_commands.h"
#include "support/capture.h"
#include "support/state.h"
#include "support/workdir.h"

namespace {
const char *const kNotKoma = "error... KOMAのファイルではありません。";
const char *const kCannotOpen = "error... ファイルを開けません。";
const char *const kSizeUnreadable = "error... 大きさが読めません。";
const char *const kSizeNegative = "error... 大きさが負の数です。";
const char *const kSizeTooLarge = "error... 大きさが2048を超えています。";
const char *const kIncomplete = "error... ファイルが不完全です。残りは白にしました。";

// Everything a refused document must leave alone.
struct EditorState {
  int w, h, save, start;
  std::vector<int> cells, overlay;
  std::string name, title;
  bool operator==(const EditorState &o) const {
    return w == o.w && h == o.h && save == o.save && start == o.start && cells == o.cells &&
           overlay == o.overlay && name == o.name && title == o.title;
  }
};

EditorState snapshot() {
  const int n = 3 * mv_size_widht * mv_size_heigth;
  char title[kTextBufSize];
  px_make_title(title, sizeof title, true);
  return {mv_size_widht, mv_size_heigth, save_fg, start_fg,
          px_cnvs ? std::vector<int>(px_cnvs, px_cnvs + n) : std::vector<int>(),
          px_cnvs_vtl ? std::vector<int>(px_cnvs_vtl, px_cnvs_vtl + n) : std::vector<int>(),
          now_file_name, title};
}

// A filed, changed 5 x 4 picture with a few coloured cells.
void filed_picture(const std::string &name) {
  reset_editor_state(5, 4);
  px_dot(px_cnvs, 0, 0, 1, 2, 3);
  px_dot(px_cnvs, 4, 3, 200, 100, 50);
  snprintf(now_file_name, sizeof now_file_name, "%s", name.c_str());
  save_fg = 1;
  start_fg = 0;
}

std::vector<std::string> dir_entries(const std::string &dir) {
  std::vector<std::string> names;
  if (DIR *d = opendir(dir.c_str())) {
    while (dirent *e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
        names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

std::vector<int> cells_of(std::initializer_list<int> rgb) { return rgb; }
}  // namespace

TEST(DocumentWriter, WritesTheTwoCellExampleByteForByte) {
  reset_editor_state(2, 1);
  px_dot(px_cnvs, 0, 0, 255, 0, 0);
  const std::string path = make_scratch_dir("writer") + "/two.koma";
  ASSERT_EQ(px_write_document(path.c_str()), 1);
  const std::string bytes = read_file(path);
  EXPECT_EQ(bytes, "koma1.0\n2 x 1\n255,0,0\n255,255,255\n");
  EXPECT_EQ(bytes.size(), 34u);
}

TEST(DocumentWriter, WritesAWhite64x64PictureIn49168Bytes) {
  reset_editor_state(64, 64);
  const std::string path = make_scratch_dir("writer") + "/white.koma";
  ASSERT_EQ(px_write_document(path.c_str()), 1);
  std::string want = "koma1.0\n64 x 64\n";
  for (int i = 0; i < 64 * 64; i++) want += "255,255,255\n";
  const std::string bytes = read_file(path);
  EXPECT_EQ(bytes.size(), 49168u);
  EXPECT_EQ(bytes, want);
}

TEST(DocumentWriter, FormatsExtremeComponentsAndEmptyCanvases) {
  const int cells[] = {INT_MIN, INT_MAX, -1};
  EXPECT_EQ(koma_format(1, 1, cells), "koma1.0\n1 x 1\n-2147483648,2147483647,-1\n");
  EXPECT_EQ(koma_format(0, 7, nullptr), "koma1.0\n0 x 7\n");
}

TEST(Document, RoundTripKeepsEveryCell) {
  reset_editor_state(37, 23);
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> any(0, 255);
  for (int y = 0; y < 23; y++)
    for (int x = 0; x < 37; x++) px_dot(px_cnvs, x, y, any(rng), any(rng), any(rng));
  // Out-of-range components are kept as they are, last row and column included.
  px_dot(px_cnvs, 36, 0, INT_MIN, -1, 256);
  px_dot(px_cnvs, 0, 22, INT_MAX, 1000, -255);
  px_dot(px_cnvs, 36, 22, -7, 65536, 0);
  const std::vector<int> written = snapshot().cells;
  const std::string path = make_scratch_dir("roundtrip") + "/random.koma";
  ASSERT_EQ(px_write_document(path.c_str()), 1);

  reset_editor_state(64, 64);
  save_fg = 1;
  PrintCapture out;
  ASSERT_EQ(px_open(path.c_str()), 1);
  EXPECT_EQ(out.text(), "37,23");  // the only trace, without a line break
  EXPECT_EQ(mv_size_widht, 37);
  EXPECT_EQ(mv_size_heigth, 23);
  EXPECT_EQ(snapshot().cells, written);
  EXPECT_EQ(snapshot().overlay, std::vector<int>(3 * 37 * 23, 255));
  EXPECT_EQ(save_fg, 0);
  EXPECT_EQ(start_fg, 0);
  EXPECT_EQ(std::string(now_file_name), path);
  EXPECT_STREQ(px_status_text, "");
}

TEST(DocumentParser, AcceptsWhatFormattedInputAccepts) {
  const std::vector<int> red_white = {255, 0, 0, 255, 255, 255};
  struct Case {
    const char *name;
    std::string bytes;
    int w, h;
    std::vector<int> cells;
  } cases[] = {
      {"canonical", "koma1.0\n2 x 1\n255,0,0\n255,255,255\n", 2, 1, red_white},
      {"crlf after the first line", "koma1.0\n2 x 1\r\n255,0,0\r\n255,255,255\r\n", 2, 1,
       red_white},
      {"blanks after commas", "koma1.0\n2 x 1\n255, 0, 0\n255,\t255,\n255\n", 2, 1, red_white},
      {"cells on one line", "koma1.0\n2 x 1\n255,0,0 255,255,255", 2, 1, red_white},
      {"cells run together", "koma1.0\n2 x 1\n1,2,3-4,5,6", 2, 1, cells_of({1, 2, 3, -4, 5, 6})},
      {"signs", "koma1.0\n+2 x +1\n+1,-2,+3\n-0,0,0\n", 2, 1, cells_of({1, -2, 3, 0, 0, 0})},
      {"trailing lines", "koma1.0\n2 x 1\n255,0,0\n255,255,255\n9,9,9\nanything\n", 2, 1,
       red_white},
      {"size without blanks", "koma1.0\n2x1\n255,0,0\n255,255,255\n", 2, 1, red_white},
      {"size over lines", "koma1.0\n \t2\n x\n\n1 255,0,0 255,255,255", 2, 1, red_white},
      {"leading zeros", "koma1.0\n002 x 01\n0255,000,0\n255,255,255\n", 2, 1, red_white},
      {"int bounds", "koma1.0\n1 x 1\n2147483647,-2147483648,0\n", 1, 1,
       cells_of({INT_MAX, INT_MIN, 0})},
      {"3 x 2", "koma1.0\n3 x 2\n1,1,1\n2,2,2\n3,3,3\n4,4,4\n5,5,5\n6,6,6\n", 3, 2,
       cells_of({1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6})},
      {"no cells", "koma1.0\n0 x 5\n", 0, 5, {}},
      {"hex-looking size", "koma1.0\n0x10", 0, 10, {}},
      {"largest side", "koma1.0\n2048 x 0", 2048, 0, {}},
  };
  for (const Case &c : cases) {
    KomaDoc doc;
    EXPECT_TRUE(koma_parse(c.bytes.data(), c.bytes.size(), &doc)) << c.name;
    EXPECT_EQ(doc.status, KomaStatus::Complete) << c.name;
    EXPECT_EQ(doc.width, c.w) << c.name;
    EXPECT_EQ(doc.height, c.h) << c.name;
    EXPECT_EQ(doc.cells, c.cells) << c.name;
  }
}

TEST(DocumentParser, RefusesAndStopsWhereFormattedInputWould) {
  struct Case {
    const char *name;
    std::string bytes;
    KomaStatus status;
    std::size_t cells_read;
  } cases[] = {
      {"crlf magic", "koma1.0\r\n1 x 1\n1,1,1\n", KomaStatus::NotKoma, 0},
      {"empty", "", KomaStatus::NotKoma, 0},
      {"no line break", "koma1.0", KomaStatus::NotKoma, 0},
      {"other version", "koma1.1\n1 x 1\n1,1,1\n", KomaStatus::NotKoma, 0},
      {"blank in magic", "koma1.0 \n1 x 1\n1,1,1\n", KomaStatus::NotKoma, 0},
      {"text", "hello, world\n", KomaStatus::NotKoma, 0},
      {"nul in magic", std::string("koma\0.0\n1 x 1\n", 14), KomaStatus::NotKoma, 0},
      {"no size", "koma1.0\n", KomaStatus::SizeUnreadable, 0},
      {"upper-case X", "koma1.0\n2 X 1\n", KomaStatus::SizeUnreadable, 0},
      {"comma for x", "koma1.0\n2,1\n", KomaStatus::SizeUnreadable, 0},
      {"no height", "koma1.0\n2 x\n", KomaStatus::SizeUnreadable, 0},
      {"sign alone", "koma1.0\n- x 1\n", KomaStatus::SizeUnreadable, 0},
      {"negative width", "koma1.0\n-1 x 2\n", KomaStatus::SizeNegative, 0},
      {"negative height", "koma1.0\n2 x -1\n", KomaStatus::SizeNegative, 0},
      {"below int", "koma1.0\n-99999999999 x 1\n", KomaStatus::SizeNegative, 0},
      {"width above bound", "koma1.0\n2049 x 1\n", KomaStatus::SizeTooLarge, 0},
      {"height above bound", "koma1.0\n1 x 2049\n", KomaStatus::SizeTooLarge, 0},
      {"above int", "koma1.0\n2147483648 x 1\n", KomaStatus::SizeTooLarge, 0},
      {"short", "koma1.0\n2 x 2\n1,2,3\n4,5,6\n7,8,9", KomaStatus::Incomplete, 3},
      {"blank before comma", "koma1.0\n2 x 1\n1,2,3\n4 ,5,6\n", KomaStatus::Incomplete, 1},
      {"two components", "koma1.0\n2 x 1\n1,2\n3,4,5\n", KomaStatus::Incomplete, 0},
      {"above int in a cell", "koma1.0\n2 x 1\n1,2,3\n2147483648,0,0\n",
       KomaStatus::Incomplete, 1},
      {"below int in a cell", "koma1.0\n2 x 1\n1,2,-2147483649\n4,5,6\n",
       KomaStatus::Incomplete, 0},
      {"many digits", "koma1.0\n1 x 1\n1,2," + std::string(5000, '9') + "\n",
       KomaStatus::Incomplete, 0},
      {"letters", "koma1.0\n1 x 1\nff,0,0\n", KomaStatus::Incomplete, 0},
      {"sign without digits", "koma1.0\n1 x 1\n1,+,3\n", KomaStatus::Incomplete, 0},
  };
  for (const Case &c : cases) {
    KomaDoc doc;
    const bool loads = koma_parse(c.bytes.data(), c.bytes.size(), &doc);
    EXPECT_EQ(loads, c.status == KomaStatus::Incomplete) << c.name;
    EXPECT_EQ(doc.status, c.status) << c.name;
    EXPECT_EQ(doc.cells.size(), 3 * c.cells_read) << c.name;
  }
}

TEST(DocumentOpen, RefusalsLeaveEveryPartOfTheStateAlone) {
  const std::string dir = make_scratch_dir("refused");
  struct Case {
    const char *name;
    std::string bytes;
    const char *message;
  } cases[] = {
      {"crlf magic", "koma1.0\r\n1 x 1\n1,1,1\r\n", kNotKoma},
      {"empty", "", kNotKoma},
      {"no line break", "koma1.0", kNotKoma},
      {"text", "P3\n1 1\n255\n0 0 0\n", kNotKoma},
      {"unreadable size", "koma1.0\nwide x high\n", kSizeUnreadable},
      {"negative size", "koma1.0\n3 x -2\n", kSizeNegative},
      {"size above the bound", "koma1.0\n4096 x 4096\n", kSizeTooLarge},
  };
  int serial = 0;
  for (const Case &c : cases) {
    const std::string path = dir + "/doc" + std::to_string(++serial) + ".koma";
    write_file(path, c.bytes);
    filed_picture("/elsewhere/before.koma");
    const EditorState before = snapshot();
    PrintCapture out;
    EXPECT_EQ(px_open(path.c_str()), 0) << c.name;
    EXPECT_TRUE(snapshot() == before) << c.name;
    EXPECT_STREQ(px_status_text, c.message) << c.name;
    EXPECT_EQ(out.text(), "") << c.name;
  }
  for (const std::string &path : {dir + "/missing.koma", dir}) {
    filed_picture("/elsewhere/before.koma");
    const EditorState before = snapshot();
    EXPECT_EQ(px_open(path.c_str()), 0) << path;
    EXPECT_TRUE(snapshot() == before) << path;
    EXPECT_STREQ(px_status_text, kCannotOpen) << path;
  }
}

TEST(DocumentOpen, IncompleteDocumentsLoadWithTheRestWhite) {
  const std::string dir = make_scratch_dir("incomplete");
  struct Case {
    const char *name;
    const char *bytes;
    int good;  // cells read before the data ran out or went wrong
  } cases[] = {
      {"short", "koma1.0\n2 x 2\n1,2,3\n4,5,6\n", 2},
      {"malformed", "koma1.0\n2 x 2\n1,2,3\n4;5;6\n7,8,9\n1,1,1\n", 1},
      {"outside int", "koma1.0\n2 x 2\n1,2,3\n4,5,6\n7,8,99999999999\n1,1,1\n", 2},
      {"no cells at all", "koma1.0\n2 x 2\n", 0},
  };
  const int colours[4][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {1, 1, 1}};
  for (const Case &c : cases) {
    const std::string path = dir + "/" + c.name + ".koma";
    write_file(path, c.bytes);
    filed_picture("before.koma");
    EXPECT_EQ(px_open(path.c_str()), 1) << c.name;
    EXPECT_EQ(mv_size_widht, 2);
    EXPECT_EQ(mv_size_heigth, 2);
    for (int i = 0; i < 4; i++) {
      int rgb[3];
      px_get_dot(px_cnvs, i % 2, i / 2, rgb);
      const int *want = i < c.good ? colours[i] : nullptr;
      EXPECT_EQ(rgb[0], want ? want[0] : 255) << c.name << " cell " << i;
      EXPECT_EQ(rgb[1], want ? want[1] : 255) << c.name << " cell " << i;
      EXPECT_EQ(rgb[2], want ? want[2] : 255) << c.name << " cell " << i;
    }
    EXPECT_STREQ(px_status_text, kIncomplete) << c.name;
    EXPECT_EQ(std::string(now_file_name), path);
    EXPECT_EQ(save_fg, 0);
    EXPECT_EQ(start_fg, 0);
  }
}

TEST(DocumentOpen, EmptyCanvasIsAcceptedAndReportsItsAllocations) {
  const std::string path = make_scratch_dir("empty") + "/none.koma";
  write_file(path, "koma1.0\n0 x 3\n");
  filed_picture("before.koma");
  PrintCapture out;
  EXPECT_EQ(px_open(path.c_str()), 1);
  EXPECT_EQ(out.text(), "0,3error\nerror\n");
  EXPECT_EQ(mv_size_widht, 0);
  EXPECT_EQ(mv_size_heigth, 3);
  EXPECT_STREQ(px_status_text, "");
  // Written back as it was read.
  ASSERT_EQ(px_write_document(path.c_str()), 1);
  EXPECT_EQ(read_file(path), "koma1.0\n0 x 3\n");
}

TEST(DocumentSave, FailuresKeepTheDocumentUnsaved) {
  const std::string dir = make_scratch_dir("failed");
  const std::string folder = dir + "/folder.koma";
  mkdir(folder.c_str(), 0755);
  write_file(folder + "/inside", "keep");
  struct Case {
    std::string target;
    const char *message;
  } cases[] = {
      {dir + "/no/such/folder/a.koma", "error... 保存先のフォルダがありません。"},
      {folder, "error... 保存先がフォルダです。"},
  };
  for (const Case &c : cases) {
    filed_picture(c.target);
    const EditorState before = snapshot();
    PrintCapture out;
    cb_save();
    EXPECT_EQ(out.text(), "save!!\n");
    EXPECT_TRUE(snapshot() == before) << c.target;  // save_fg still 1, same name and title
    EXPECT_STREQ(px_status_text, c.message) << c.target;
  }
  EXPECT_EQ(dir_entries(folder), std::vector<std::string>{"inside"});
  EXPECT_EQ(dir_entries(dir), std::vector<std::string>{"folder.koma"});
}

TEST(DocumentSave, WriteFailingPartWayLeavesTheOldFileWhole) {
  const std::string dir = make_scratch_dir("fsize");
  const std::string path = dir + "/old.koma";
  const std::string old = "koma1.0\n1 x 1\n10,20,30\n";
  write_file(path, old);
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    // The new document (49,168 bytes) cannot grow past 4,096 bytes here.
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    reset_editor_state(64, 64);
    snprintf(now_file_name, sizeof now_file_name, "%s", path.c_str());
    save_fg = 1;
    start_fg = 0;
    const EditorState before = snapshot();
    cb_save();
    int fails = 0;
    if (!(snapshot() == before)) fails |= 1;
    if (std::string(px_status_text) != "error... 保存できませんでした。") fails |= 2;
    _exit(fails);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status) & 1, 0) << "state changed by a failed save";
  EXPECT_EQ(WEXITSTATUS(status) & 2, 0) << "no failure message";
  EXPECT_EQ(read_file(path), old);
  EXPECT_EQ(dir_entries(dir), std::vector<std::string>{"old.koma"});  // no temporary file left
}

TEST(DocumentSave, ReplacingKeepsPermissionsLinksAndHardLinkedCopies) {
  const std::string dir = make_scratch_dir("replace");
  reset_editor_state(1, 1);
  const std::string want = "koma1.0\n1 x 1\n255,255,255\n";

  const std::string plain = dir + "/plain.koma";
  write_file(plain, "old");
  chmod(plain.c_str(), 0604);
  ASSERT_EQ(px_write_document(plain.c_str()), 1);
  struct stat st;
  ASSERT_EQ(stat(plain.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  EXPECT_EQ(read_file(plain), want);

  const std::string real = dir + "/real.koma", link = dir + "/link.koma";
  write_file(real, "old");
  ASSERT_EQ(symlink("real.koma", link.c_str()), 0);
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  const ino_t old_inode = st.st_ino;
  ASSERT_EQ(px_write_document(link.c_str()), 1);
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(read_file(real), want);
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_NE(st.st_ino, old_inode);  // a new file renamed into place, not rewritten

  const std::string first = dir + "/first.koma", second = dir + "/second.koma";
  write_file(first, "old");
  chmod(first.c_str(), 0640);
  ASSERT_EQ(::link(first.c_str(), second.c_str()), 0);
  ASSERT_EQ(px_write_document(first.c_str()), 1);
  EXPECT_EQ(read_file(first), want);
  EXPECT_EQ(read_file(second), "old");  // replaced, not rewritten in place
  ASSERT_EQ(stat(first.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

#if !defined(__SANITIZE_ADDRESS__)
// A document too large for the memory there is leaves the current picture.
TEST(DocumentOpen, FailedAllocationKeepsThePicture) {
  const std::string path = make_scratch_dir("memory") + "/large.koma";
  write_file(path, "koma1.0\n2048 x 2048\n1,2,3\n");  // 2 x 604 MB of cells
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    filed_picture("before.koma");
    const EditorState before = snapshot();
    const rlimit limit = {std::size_t(1) << 30, std::size_t(1) << 30};
    setrlimit(RLIMIT_AS, &limit);
    int fails = 0;
    if (px_open(path.c_str()) != 0) fails |= 1;
    if (!(snapshot() == before)) fails |= 2;
    if (std::string(px_status_text) != "error... メモリが足りません。") fails |= 4;
    _exit(fails);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif
