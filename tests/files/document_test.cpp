// Documents: writing, reading, what Open reads at all, suggested export names;
// saving where it fails, which never damages the old file nor leaves another.
#include "files/document.h"

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "app/export_commands.h"
#include "app/file_commands.h"
#include "app/load_save.h"
#include "base/globals.h"
#include "base/status.h"
#include "canvas/cells.h"
#include "canvas/history.h"
#include "files/bmp_write.h"
#include "files/image_export.h"
#include "support/support.h"
#include "tools/undo.h"

namespace fs = std::filesystem;


static std::string state() {  // the picture as a document, the name and both flags
  return koma_format(mv_size_widht, mv_size_heigth, px_cnvs) + "|" + now_file_name + "|" +
         std::to_string(save_fg) + std::to_string(start_fg);
}

static void filed_picture(const std::string &name, int w = 5, int h = 4) {  // changed, with a file
  reset_editor_state(w, h);
  for (unsigned i = 0, r = 1; i < 3u * w * h; i++) px_cnvs[i] = (r = r * 1103515245 + 12345) >> 24;
  g_strlcpy(now_file_name, name.c_str(), sizeof now_file_name), save_fg = 1, start_fg = 0;
}

// The writer's bytes, out-of-range components too, against printf; they read
// back as written, also when saved through a symbolic link, which stays one.
// A save marks the picture that undo and redo must reach to be unchanged again.
TEST(Document, WriterBytesRoundTripAndTheSavedState) {
  const std::string dir = make_scratch_dir("writer"), path = dir + "/doc.koma", link = dir + "/link";
  reset_editor_state(2, 1);
  px_dot(px_cnvs, 0, 0, 255, 0, 0);
  ASSERT_EQ(px_write_document(path.c_str()), 1);
  EXPECT_EQ(read_file(path), "koma1.0\n2 x 1\n255,0,0\n255,255,255\n");
  reset_editor_state(37, 29);
  std::mt19937 rng(9);
  const int extremes[] = {INT_MIN, INT_MAX, -1, 0, 256, 999, 1000, -256};
  std::string doc = "koma1.0\n37 x 29\n";
  char line[48];
  for (int i = 0; i < 3 * 37 * 29; i++) px_cnvs[i] = rng() % 5 ? int(rng() % 256) : extremes[rng() % 8];
  for (int *c = px_cnvs; c < px_cnvs + 3 * 37 * 29; c += 3)
    doc.append(line, std::snprintf(line, sizeof line, "%d,%d,%d\n", c[0], c[1], c[2]));
  fs::create_symlink("doc.koma", link);
  ASSERT_EQ(px_write_document(link.c_str()), 1);
  ASSERT_TRUE(fs::is_symlink(link) && read_file(path) == doc);
  filed_picture("before.koma");
  ASSERT_EQ(px_open(path.c_str()), 1);
  EXPECT_EQ(state(), doc + "|" + path + "|00");
  auto draw = [](int x) { history_begin(), px_dot(px_cnvs, x, 0, 1, 2, 3), history_end(), save_fg = 1; };
  draw(0);
  ASSERT_EQ(px_write_document(path.c_str()), 1);
  draw(1), draw(1);  // the second changes nothing: no action of its own
  const int flags[] = {(px_undo(), save_fg), (px_undo(), save_fg)};
  draw(2), px_undo(), px_redo();  // the saved picture is gone with what could be redone
  EXPECT_EQ(std::vector<int>({flags[0], flags[1], save_fg}), std::vector<int>({0, 1, 1}));
}

// Refusals show their message and change nothing. Only a regular file or a pipe
// is read: a device, a folder are refused at once, as is a document too large
// for the memory left.
TEST(DocumentOpen, AcceptsWhatFormattedInputAcceptsAndRefusesTheRest) {
  const std::string dir = make_scratch_dir("open"), path = dir + "/doc.koma";
  const std::string two = "koma1.0\n2 x 1\n255,0,0\n" + whites(1), part = "koma1.0\n2 x 2\n1,2,3\n";
  const std::string e = "error... ", bad = e + "KOMAのファイルではありません。", size = e + "大きさが";
  const std::string cut = e + "ファイルが不完全です。残りは白にしました。", no = e + "ファイルを開けません。";
  auto long_name = [&](std::size_t n) { return dir + std::string(n - dir.size() - 8, '/') + "doc.koma"; };
  std::FILE *writer = popen("printf 'koma1.0\\n2 x 1\\n25'; sleep 0.3; printf '5,0,0\\n255,255,255\\n'", "r");
  ASSERT_TRUE(writer);
  const struct { std::string bytes, want, message, name = ""; } cases[] = {  // want "": refused
      {"koma1.0\n2 x 1\r\n255,0,0\r\n255,255,255\r\n", two, ""},
      {"koma1.0\n2x1\n255, 0, 0 255,\t255,\n255\n", two, ""},
      {"koma1.0\n \t+2\n x\n\n1 +255,-0,+0\n255,255,255\n9,9,9\nanything\n", two, ""},
      {"koma1.0\n2048 x 0\n", "koma1.0\n2048 x 0\n", ""},
      {part + "4,5,6\n", part + "4,5,6\n" + whites(2), cut},
      {part + "4 ,5,6\n7,8,9\n1,1,1\n", part + whites(3), cut},  // a cell read in part is white,
      {"koma1.0\n2 x 1\n1,2,3\n4,5", "koma1.0\n2 x 1\n1,2,3\n" + whites(1), cut},  // the last one too
      {"koma1.0\r\n1 x 1\n1,1,1\r\n", "", bad}, {"", "", bad}, {"koma1.0", "", bad},
      {"koma1.0\n2X1\n", "", size + "読めません。"}, {"koma1.0\n3x-2\n", "", size + "負の数です。"},
      {"koma1.0\n2049 x 1\n", "", size + "2048を超えています。"}, {"koma1.0\n1 x 2049\n", "", size + "2048を超えています。"},
      {"koma1.0\n0 x 2048\n", "koma1.0\n0 x 2048\n", ""}, {"koma1.0\n-0 x 1\n0,0,0\n", "koma1.0\n0 x 1\n", ""},
      {two, two, "", long_name(4095)}, {two, "", no, long_name(4096)}, {two, "", no, path + ".none"},
      {"", two, "", "/dev/fd/" + std::to_string(fileno(writer))}, {"", "", no, "/dev/null"}, {"", "", no, dir},
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's runtime needs more memory
      {"koma1.0\n2048 x 2048\n", "", e + "メモリが足りません。"},  // 1.2 GB of buffers
#endif
  };
  const std::string wrong = in_child([&] {
    alarm(5);  // ends an Open that waits
#if !defined(__SANITIZE_ADDRESS__)
    const rlimit memory{rlim_t(512) << 20, RLIM_INFINITY};
    setrlimit(RLIMIT_DATA, &memory);
#endif
    std::string out;
    for (const auto &c : cases) {
      write_file(path, c.bytes);
      filed_picture("/elsewhere/before.koma");
      const std::string before = state(), name = c.name.empty() ? path : c.name;
      const auto t0 = std::chrono::steady_clock::now();
      const int opened = px_open(name.c_str());
      const std::string got = std::to_string(opened) + state() + px_status_text;
      if (got != std::to_string(!c.want.empty()) + (c.want.empty() ? before : c.want + "|" + name + "|00") +
                     c.message || std::chrono::steady_clock::now() - t0 > std::chrono::seconds(1))
        out += c.bytes + " " + name + ": " + got.substr(0, 200) + "\n";
    }
    return out;
  });
  pclose(writer);
  EXPECT_EQ(wrong, "");
}

// A pipe is read up to its last cell, however much more its writer would send, or until what comes
// cannot make a document; one that sends nothing for 2 s, from the start or later, is refused. None
// keeps Open for more than 3 s.
TEST(DocumentOpen, PipesThatStallOrNeverEnd) {
  const std::string fifo = make_scratch_dir("pipes") + "/fifo", head = "koma1.0\n2 x 2\n", no = "error... ファイルを開けません。";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct { std::string head, tail, want, message; bool writer = true; } cases[] = {
      {head, "1,2,3\n", head + "1,2,3\n1,2,3\n1,2,3\n1,2,3\n", ""},
      {head + "1,2,3\n", " \n", head + "1,2,3\n" + whites(3), "error... ファイルが不完全です。残りは白にしました。"},
      {"koma1.0\n", " ", "", "error... 大きさが読めません。"}, {"GIF", "", "", "error... KOMAのファイルではありません。"},
      {head + "1,2,3\n", "", "", no}, {"", "", "", no, false}};
  const std::string wrong = in_child([&] {
    alarm(20);  // ends an Open that never does
    std::string out;
    for (const auto &c : cases) {
      const pid_t writer = c.writer ? pipe_writer(fifo, c.head, c.tail) : 0;
      filed_picture("/elsewhere/before.koma");
      const std::string before = state();
      const auto t0 = std::chrono::steady_clock::now();
      const int opened = px_open(fifo.c_str());
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
      if (writer) kill(writer, SIGKILL), waitpid(writer, nullptr, 0);
      const std::string got = std::to_string(opened) + state() + px_status_text;
      if (got != std::to_string(!c.want.empty()) + (c.want.empty() ? before : c.want + "|" + fifo + "|00") + c.message ||
          took.count() > 3 || (c.message == no) != (took.count() >= 2))
        out += c.head + " " + c.tail + ": " + got.substr(0, 200) + " in " + std::to_string(took.count()) + " s\n";
    }
    return out;
  });
  EXPECT_EQ(wrong, "");
}

// The export's suggested name: the document's extension, only its last one and
// never one in a folder's name, replaced; a name too long is cut between characters.
TEST(ExportName, ExtensionOfTheFileItselfIsReplaced) {
  std::string stem = "/d.d/";
  for (int i = 0; i < 337; i++) stem += "あ";
  const struct { std::string doc; const char *ext; std::string want, traces; } cases[] = {
      {"無題.koma", ".bmp", "無題.bmp", "l=11\nl=6\n\n無題\n"},
      {"/home/u/pic.tar.koma", ".png", "/home/u/pic.tar.png", "l=20\nl=15\n\n/home/u/pic.tar\n"},
      {"/home/u.v/pic", ".jpeg", "/home/u.v/pic.jpeg", "l=13\nl=-1\n\n/home/u.v/pic\n"},
      {stem + "あああ.koma", ".jpeg", stem + ".jpeg", "l=1022\nl=-1\n\n" + stem + "\n"},
  };
  for (const auto &c : cases) {
    PrintCapture out;
    char buf[kTextBufSize];
    export_suggested_name(buf, sizeof buf, c.doc.c_str(), c.ext);
    EXPECT_EQ(buf + ("|" + out.text()), c.want + "|" + c.traces);
  }
}

// Save onto what is no document (a folder, a pipe, a device, a folder that is
// gone) says why and leaves it; a new document gets 0666 less the umask.
TEST(SafeSave, OntoWhatIsNoDocumentAndTheModeOfANewOne) {
  const std::string dir = make_scratch_dir("targets"), e = "error... ", failed = e + "保存できませんでした。";
  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600) | mkdir((dir + "/folder").c_str(), 0755), 0);
  const std::pair<std::string, std::string> cases[] = {{dir + "/folder", e + "保存先がフォルダです。"},
      {dir + "/fifo", failed}, {"/dev/null", failed}, {dir + "/gone/d.koma", e + "保存先のフォルダがありません。"}};
  for (const auto &[path, why] : cases) {
    filed_picture(path), cb_save();
    EXPECT_EQ(px_status_text + std::to_string(save_fg), why + "1") << path;
  }
  EXPECT_TRUE(fs::is_directory(dir + "/folder") && fs::is_fifo(dir + "/fifo") && !fs::exists(dir + "/gone"));
  for (mode_t mask : {022, 027, 077}) {
    const std::string path = dir + "/new" + std::to_string(mask);
    const mode_t was = umask(mask);
    filed_picture(path), cb_save(), umask(was);
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 1, 0666 & ~mask) << mask;
  }
}

// Each save in a child, as root or as the user nobody (also in group 50 where
// the case says), on a small disk of its own (a tmpfs in a private mount
// namespace; a file-size limit where mounting is refused) or under a file-size
// limit. The inode tells the way: the same file written in place, or a new one.
TEST(SafeSave, RefusedWrittenInPlaceOrReplacedAndFailuresKeepTheOldFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root: other users, a mount";
  gchar *made = g_dir_make_tmp("koma-users-XXXXXX", nullptr);  // the working directory is root's alone
  const std::string base = made, e = "error... ", full = e + "ディスクがいっぱいで保存できません。";
  const std::string old = "koma1.0\n1 x 1\n10,20,30\n", none = "|none1 0:0 0 ino=new files:0";
  const std::string nobodys = " 65534:65534 666 ino=same files:1", roots = " 0:0 666 ino=same files:1";
  g_free(made);
  fs::permissions(base, fs::perms::all);
  auto small_disk = [](const std::string &dir) {
    return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0;
  };
  const bool can_mount = in_child([&] { return small_disk(base) ? "y" : "n"; }) == "y";
  enum Act { Save, Bmp, Png };
  enum Disk { Room, Small, Limit };  // Small: a tmpfs of 64 kB
  enum Saver { Root, Nobody, Member };  // Member: nobody, also in group 50
  // Refused, replaced or written in place, and each way failing:
  const struct { Act act; int owner, group; mode_t mode; bool linked; mode_t folder; Disk disk; Saver who; std::string want; } cases[] = {
      {Save, 65534, 65534, 0444, false, 0777, Room, Nobody, e + "保存できませんでした。|old1 65534:65534 444 ino=same files:1"},
      {Bmp, 65534, 65534, 0444, false, 0777, Room, Nobody, e + "ファイルに書き込めません。|old1 65534:65534 444 ino=same files:1"},
      {Save, 0, 0, 0444, false, 0777, Room, Root, "|new0 0:0 444 ino=new files:1"},  // replaced: root may
      {Save, 65534, 65534, 0666, false, 0777, Room, Nobody, "|new0 65534:65534 666 ino=new files:1"},
      {Save, 1, 50, 0664, false, 0777, Room, Member, "|new0 1:50 664 ino=same files:1"},  // in place: another owner,
      {Save, 1, 50, 0644, false, 0777, Room, Root, "|new0 1:50 644 ino=same files:1"},
      {Save, 65534, 50, 0640, false, 0777, Room, Nobody, "|new0 65534:50 640 ino=same files:1"},  // a group not its,
      {Save, 0, 0, 0644, true, 0777, Room, Root, "|new0 0:0 644 ino=same files:2 both"},  // two names,
      {Save, 65534, 65534, 0666, false, 0555, Room, Nobody, "|new0" + nobodys},  // a folder taking no file,
      {Save, 1, 1, 0666, false, 01777, Room, Nobody, "|new0 1:1 666 ino=same files:1"},  // a sticky folder
      {Save, 65534, 65534, 0666, false, 0555, Limit, Nobody, full + "|old1" + nobodys},  // no room reserved
      {Save, 65534, 65534, 0666, false, 0555, Small, Nobody, full + "|old1" + nobodys},
      {Save, 0, 0, 0666, false, 0777, Small, Nobody, full + "|old1" + roots},
      {Save, -1, 0, 0, false, 0555, Room, Nobody, e + "保存先のフォルダに書き込めません。ファイルは変更していません。" + none},
      {Save, -1, 0, 0, false, 0777, Small, Nobody, full + none},  // a new name
      {Bmp, 0, 0, 0666, false, 0777, Small, Root, full + "|old1" + roots},
      {Png, 0, 0, 0666, false, 0777, Small, Root, full + "|old1" + roots},
      {Save, 0, 0, 0666, false, 0777, Limit, Root, full + "|old1" + roots},
  };
  for (const auto &c : cases) {
    if (c.act == Png && !can_mount) continue;  // a limit would fail its temporary BMP first
    const std::string dir = base + "/" + std::to_string(&c - cases), doc = dir + "/doc";
    fs::create_directory(dir);
    const std::string got = in_child([&] {
      const rlimit limit{4096, 4096};
      const gid_t member = 50;
      signal(SIGXFSZ, SIG_IGN);
      if (c.disk == Limit || (c.disk == Small && !small_disk(dir))) setrlimit(RLIMIT_FSIZE, &limit);
      if (c.owner >= 0) write_file(doc, old);
      if ((c.owner >= 0 && (chown(doc.c_str(), c.owner, c.group) != 0 || chmod(doc.c_str(), c.mode) != 0)) ||
          (c.linked && link(doc.c_str(), (dir + "/name2").c_str()) != 0) || chmod(dir.c_str(), c.folder) != 0 ||
          (c.who != Root && (setgroups(c.who == Member, &member) != 0 || setgid(65534) != 0 || setuid(65534) != 0)))
        return std::string("no setup");
      struct stat before {}, after {};
      stat(doc.c_str(), &before);
      filed_picture(doc, 160, 160);  // noise: larger than the small disk in every format
      std::uint32_t *words = koma_pack(px_cnvs, 160, 160);
      const char *failed = c.act == Save ? (cb_save(), nullptr)
          : px_write_image(c.act == Bmp ? ImageFormat::Bmp : ImageFormat::Png, doc.c_str(), 160, 160, words);
      if (failed) px_show_failure(failed);  // as the export command shows it
      g_free(words);
      const bool there = stat(doc.c_str(), &after) == 0;
      const std::string now = read_file(doc);
      char ids[80];
      std::snprintf(ids, sizeof ids, "%d %u:%u %o ino=%s files:%d", save_fg, after.st_uid, after.st_gid,
                    after.st_mode & 07777, there && after.st_ino == before.st_ino ? "same" : "new",
                    int(std::distance(fs::directory_iterator(dir), {})));
      return px_status_text + std::string(!there ? "|none" : now == old ? "|old" : now == koma_format(160, 160, px_cnvs) ? "|new" : "|damaged") +
             ids + (c.linked ? read_file(dir + "/name2") == now ? " both" : " split" : "");
    });
    EXPECT_EQ(got, c.want) << "case " << &c - cases;
  }
  fs::remove_all(base);
}

// Killed at random moments, a save leaves the complete old or the complete new
// document, and at most a hidden temporary file beside it: 30 times replacing
// the file; 20 times writing it in place, as it has a second name, where a kill
// during the write itself leaves the new bytes up to some point and the old
// ones after it, the same under both names.
TEST(SafeSave, KilledWhileSavingLeavesTheOldOrTheNewDocument) {
  const std::string dir = make_scratch_dir("killed"), doc = dir + "/big.koma", name2 = make_scratch_dir("killed") + "/2";
  std::mt19937 rng(std::random_device{}());
  for (const int side : {2048, 1024}) {
    const bool in_place = side == 1024;
    auto document = [side](const char *cell) {
      std::string s = "koma1.0\n" + std::to_string(side) + " x " + std::to_string(side) + "\n";
      for (int i = 0; i < side * side; i++) s += cell;
      return s;
    };
    // In place the old document is the longer one, so that its tail has to go.
    const std::string fresh = document("7,7,7\n"), old = in_place ? document("17,1,1\n") : "koma1.0\n0 x 0\n";
    auto put_old = [&] {
      write_file(doc, old);
      if (in_place) fs::remove(name2), fs::create_hard_link(doc, name2);
    };
    reset_editor_state(side, side);
    std::fill_n(px_cnvs, 3 * side * side, 7);
    long long whole = LLONG_MAX;  // µs a save takes in a child: the shortest of three not killed
    int killed = 0, torn = 0;
    for (int i = -3; i < (in_place ? 20 : 30); i++) {
      put_old();
      const auto t0 = std::chrono::steady_clock::now();
      const pid_t pid = fork();
      if (pid == 0) _exit(px_write_document(doc.c_str()) ? 0 : 1);
      if (i >= 0) usleep(useconds_t(rng() % whole)), kill(pid, SIGKILL);
      int status = 0;
      waitpid(pid, &status, 0), killed += WIFSIGNALED(status);
      const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
      const std::string now = read_file(doc);
      if (i < 0) whole = std::min<long long>(whole, took.count());
      ASSERT_TRUE(i >= 0 || now == fresh);
      const std::size_t k = std::mismatch(now.begin(), now.end(), fresh.begin(), fresh.end()).first - now.begin();
      const bool mixed = in_place && now.size() == old.size() && now.compare(k, now.npos, old, k) == 0;
      torn += mixed && now != old && now != fresh;
      EXPECT_TRUE(now == old || now == fresh || mixed) << now.size() << " bytes";
      EXPECT_TRUE(!in_place || read_file(name2) == now);
      for (const auto &entry : fs::directory_iterator(dir))  // the document or a hidden file, which goes
        EXPECT_TRUE(entry.path() == doc || (entry.path().filename().string()[0] == '.' && fs::remove(entry.path())));
    }
    EXPECT_GT(killed, 0) << "every kill came after the save (" << whole << " µs)";
    std::printf("%s: a save takes %lld µs; %d of the kills during the save, %d during a write in place\n",
                in_place ? "in place" : "replaced", whole, killed, torn);
  }
  reset_editor_state();
}
