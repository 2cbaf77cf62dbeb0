// Saving and exporting where it fails, as another user, on a full disk or
// killed halfway: the old file is never damaged and nothing is left behind.
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "files/bmp_write.5.h"
#include "files/document.h"
#include "files/export.h"
#include "files/file_commands.h"
#include "support/child.h"
#include "support/state.h"
#include "support/workdir.h"

namespace fs = std::filesystem;

namespace {
const std::string kOld = "koma1.0\n1 x 1\n10,20,30\n";

bool become_nobody() {
  return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
}

std::string folder_for_all() {  // the test working directory is root's alone
  gchar *dir = g_dir_make_tmp("koma-users-XXXXXX", nullptr);
  const std::string s = dir;
  g_free(dir);
  fs::permissions(s, fs::perms::all);
  return s;
}

// A small disk of the child's own (gone with its mount namespace), or false.
bool mount_small_disk(const std::string &dir) {
  return unshare(CLONE_NEWNS) == 0 &&
         mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0;
}
}  // namespace

TEST(SafeSave, AnotherUserOrAFullDiskNeverDamagesTheOldFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to save as another user";
  const std::string base = folder_for_all(), e = "error... ";
  const std::string full = e + "ディスクがいっぱいで保存できません。";
  const std::string read_only = e + "保存先のフォルダに書き込めません。ファイルは変更していません。";
  const bool can_mount = in_child([&] { return mount_small_disk(base) ? "yes" : "no"; }) == "yes";
  enum Act { Save, Bmp, Png };
  const struct {
    Act act;
    bool old, full, nobody;
    uid_t owner;  // of the old document
    mode_t folder;
    std::string message;  // "": saved
  } cases[] = {
      {Save, true, false, true, 0, 0555, read_only}, {Save, true, true, true, 65534, 0777, full},
      {Save, true, true, true, 0, 0777, full},   // the owner differs
      {Save, false, true, true, 0, 0777, full},  // a new name
      {Bmp, true, true, false, 0, 0777, full},   {Png, true, true, false, 0, 0777, full},
      {Save, true, false, true, 0, 0777, ""},  // the owner differs, room enough: now the saver's
  };
  for (const auto &c : cases) {
    if (c.act == Png && !can_mount) continue;  // a file-size limit would stop its temporary BMP
    const std::string dir = base + "/" + std::to_string(&c - cases), doc = dir + "/doc";
    fs::create_directory(dir);
    const std::string got = in_child([&] {
      const rlimit limit{4096, 4096};
      if (c.full && !mount_small_disk(dir)) signal(SIGXFSZ, SIG_IGN), setrlimit(RLIMIT_FSIZE, &limit);
      if (c.old) write_file(doc, kOld);
      if ((c.old && (chown(doc.c_str(), c.owner, c.owner) != 0 || chmod(doc.c_str(), 0666) != 0)) ||
          chmod(dir.c_str(), c.folder) != 0 || (c.nobody && !become_nobody()))
        return std::string("no setup");
      reset_editor_state(160, 160);  // noise: larger than the small disk in every format
      for (unsigned i = 0, r = 1; i < 3 * 160 * 160; i++)
        px_cnvs[i] = (r = r * 1103515245 + 12345) >> 24;
      g_strlcpy(now_file_name, doc.c_str(), sizeof now_file_name), save_fg = 1, start_fg = 0;
      std::unique_ptr<std::uint32_t, decltype(&g_free)> words(koma_pack(px_cnvs, 160, 160), &g_free);
      const char *message = px_status_text;
      if (c.act == Save) cb_save();
      else message = px_write_image(c.act == Bmp ? ImageFormat::Bmp : ImageFormat::Png, doc.c_str(),
                                    160, 160, words.get());
      struct stat st {};
      const bool kept = stat(doc.c_str(), &st) == 0, was = read_file(doc) == kOld;
      const auto files = std::distance(fs::directory_iterator(dir), {});
      return (message ? message : "") + std::string(kept ? was ? "|old" : "|new" : "|none") +
             (!kept || was || read_file(doc) == koma_format(160, 160, px_cnvs) ? "" : " (damaged)") +
             "|" + std::to_string(save_fg) + " " + std::to_string(st.st_uid) + " " +
             std::to_string(st.st_mode & 0777) + " files:" + std::to_string(files);
    });
    const std::string saved = std::to_string(65534) + " 438 files:1";  // 0666
    const std::string kept = "|old|1 " + std::to_string(c.owner) + " 438 files:1";
    EXPECT_EQ(got, c.message + (c.message.empty() ? "|new|0 " + saved
                                : c.old           ? kept
                                                  : "|none|1 0 0 files:0"))
        << "case " << &c - cases;
  }
  fs::remove_all(base);
}

// Another user than the owner saves over a document and is killed at random
// moments: the document is always the complete old or the complete new one,
// and what a kill leaves behind is a hidden temporary file.
TEST(SafeSave, KilledWhileSavingLeavesTheOldOrTheNewDocument) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to save as another user";
  const std::string dir = folder_for_all(), doc = dir + "/big.koma";
  reset_editor_state(2048, 2048);
  for (int i = 0; i < 3 * 2048 * 2048; i++) px_cnvs[i] = 11 * (i % 3 + 1);
  std::string fresh = "koma1.0\n2048 x 2048\n";
  for (int i = 0; i < 2048 * 2048; i++) fresh += "11,22,33\n";
  auto save = [&](long kill_after_us) {  // true when the save ended before the kill
    write_file(doc, kOld);
    int ready[2];
    if (chown(doc.c_str(), 0, 0) != 0 || chmod(doc.c_str(), 0666) != 0 || pipe(ready) != 0) return false;
    const pid_t pid = fork();
    if (pid == 0) {
      const bool ok = become_nobody() && write(ready[1], "r", 1) == 1 && px_write_document(doc.c_str());
      _exit(ok && write(ready[1], "d", 1) == 1 ? 0 : 1);
    }
    close(ready[1]);
    char c[2] = {};
    const bool started = read(ready[0], c, 1) == 1;
    if (kill_after_us >= 0) usleep(useconds_t(kill_after_us)), kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    const bool done = started && read(ready[0], c + 1, 1) == 1;
    close(ready[0]);
    return done;
  };
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(save(-1) && read_file(doc) == fresh);
  const long whole =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  std::mt19937 rng(std::random_device{}());
  int interrupted = 0;
  for (int i = 0; i < 30; i++) {
    const long delay = long(rng() % whole);
    interrupted += !save(delay);
    const std::string now = read_file(doc);
    EXPECT_TRUE(now == kOld || now == fresh)
        << "killed after " << delay << " µs: " << now.size() << " bytes";
    for (const auto &e : fs::directory_iterator(dir))
      if (e.path() != doc) {
        EXPECT_EQ(e.path().filename().string()[0], '.');
        fs::remove(e.path());
      }
  }
  EXPECT_GT(interrupted, 0) << "every kill came after the save (" << whole << " µs)";
  fs::remove_all(dir);
  reset_editor_state();
}
