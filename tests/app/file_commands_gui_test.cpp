// The File menu through its dialogs and choosers, the scale dialog, the document
// named at start-up, the preview, and koma-export against the editor's export.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include "app/file_commands.h"
#include "app/load_save.h"
#include "app/menu.h"
#include "app/startup.h"
#include "base/globals.h"
#include "base/status.h"
#include "canvas/cells.h"
#include "files/document.h"
#include "support/gui.h"

namespace {

std::string state() {  // the picture, name, save_fg and start_fg, canvas size request, title
  gint w, h;
  gtk_widget_get_size_request(drawing_area, &w, &h);
  return koma_format(mv_size_widht, mv_size_heigth, px_cnvs) + now_file_name + "|" + std::to_string(save_fg) +
         std::to_string(start_fg) + "|" + std::to_string(w) + "x" + std::to_string(h) + gtk_window_get_title(GTK_WINDOW(window));
}

// "WxH " and the RGB bytes of the image in the file `path`, or of `pb`.
std::string image(const std::string &path, GdkPixbuf *pb = nullptr) {
  GdkPixbuf *owned = pb ? nullptr : gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  if (!(pb = pb ? pb : owned)) return "none";
  const int w = gdk_pixbuf_get_width(pb), h = gdk_pixbuf_get_height(pb), n = gdk_pixbuf_get_n_channels(pb);
  std::string out = std::to_string(w) + "x" + std::to_string(h) + " ";
  for (int i = 0; i < w * h; i++)
    out.append(reinterpret_cast<char *>(gdk_pixbuf_get_pixels(pb)) + i / w * gdk_pixbuf_get_rowstride(pb) + i % w * n, 3);
  if (owned) g_object_unref(owned);
  return out;
}

std::string bmp_header(std::uint32_t w, std::uint32_t h) {  // top-down, 32 bits, little-endian
  const std::uint32_t f[] = {54 + 4 * w * h, 0, 54, 40, w, -h, 1 | 32 << 16, 0, 4 * w * h, 37800, 37800, 0, 0};
  return "BM" + std::string(reinterpret_cast<const char *>(f), sizeof f);
}

// koma-export's exit status and standard error, run with `args`, a file-size limit
// of `blocks` (of 512 bytes), a temporary folder "cli-tmp" of its own and 10 s at most.
std::string koma_export(const std::string &args, const char *blocks = "unlimited") {
  const std::string w = enter_test_workdir();
  g_mkdir((w + "/cli-tmp").c_str(), 0755);
  const int status = std::system(("ulimit -f " + std::string(blocks) + "; TMPDIR=" + w + "/cli-tmp timeout 10 " KOMA_EXPORT_BIN
                                  " " + args + " >/dev/null 2>" + w + "/cli.err").c_str());
  return std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + " " + read_file(w + "/cli.err");
}
}  // namespace

using FileCommands = GuiTest;

// Save of an untitled picture asks for its name; Open; the scale dialog clamps
// to 2..10 and reads what formatted input reads; a document named on the
// command line opens, two open nothing.
TEST_F(FileCommands, SaveOpenScaleAndTheCommandLine) {
  const std::string dir = make_scratch_dir("save"), path = dir + "/pic.koma", doc = dir + "/3x2";
  write_file(doc, "koma1.0\n3 x 2\n1,1,1\n2,2,2\n3,3,3\n4,4,4\n5,5,5\n6,6,6\n");
  px_dot(px_cnvs, 3, 4, 10, 20, 30), save_fg = 1;
  EXPECT_EQ(run("保存(_S)", {path}), "saveas!!\n[名前を付けて保存]menu save as:" + path + "\n");
  const std::string drawn = "koma1.0\n64 x 64\n" + whites(4 * 64 + 3) + "10,20,30\n" + whites(64 * 60 - 4);
  EXPECT_EQ(state() + read_file(path), drawn + path + "|00|640x640KOMA ver 1.0:" + path + drawn);
  EXPECT_EQ(in_child([] {  // a file-size limit fails Save as a full disk does, the editor lives on
    const rlimit limit{4096, 4096};
    statas_area = nullptr, setrlimit(RLIMIT_FSIZE, &limit);  // nothing drawn through the parent's display
    return cb_save(), std::string(px_status_text);
  }) + read_file(path), "error... ディスクがいっぱいで保存できません。" + drawn);
  EXPECT_EQ(run("開く(_O)", {doc}), "open!!\n[開く]menu open:" + doc + "\n3,2");
  const std::string title = "KOMA ver 1.0:" + doc + "  ( 3 x 2 )", resized = "destroy\ncreat_main_view\nsize change:";
  EXPECT_EQ(state(), read_file(doc) + doc + "|00|30x20" + title);
  std::string scales;
  for (const char *entry : {"1", "11", "abc", "7x", "+5"}) scales += run("スケールの変更", {entry}) + "|";
  EXPECT_EQ(scales, resized + "2|" + resized + "10|" + resized + "2|" + resized + "7|" + resized + "5|");
  EXPECT_EQ(state(), read_file(doc) + doc + "|00|15x10" + title);  // all kept
  std::string one = doc, two = path;
  for (int argc : {2, 3}) {  // a document named on the command line opens; two open nothing
    char prog[] = "koma", *argv[] = {prog, one.data(), two.data(), nullptr};
    destroy_all_windows(), reset_editor_state(), koma_start(argc, argv);
    EXPECT_EQ(state(), argc == 2 ? read_file(doc) + doc + "|00|30x20" + title
                                 : "koma1.0\n64 x 64\n" + whites(64 * 64) + "無題.koma|01|640x640KOMA ver 1.0:無題.koma  ( 64 x 64 )");
  }
}

// The prompt before Open (its chooser cancelled), New, Quit and a close request:
// Yes saves a filed document without a chooser; a save from it that fails (a
// folder that is gone, a document the user protected) stops the command; any
// other answer lets it go on. New's size dialog takes 2048.
TEST_F(FileCommands, PromptSavesOnYesAndAFailedSaveStopsTheCommand) {
  const std::string filed = make_scratch_dir("prompt") + "/filed.koma", gone = make_scratch_dir("gone");
  const std::string lost = gone + "/no/such.koma", untitled = "無題.koma", yes = "Yes button was pressed.\n";
  const std::string why = "error... 保存先のフォルダがありません。", saveas = "saveas!!\n[名前を付けて保存]";
  const std::string refused = "[0〜2048の数を入れてください。]";
  gchar *own = g_dir_make_tmp("koma-protected-XXXXXX", nullptr);  // as root: the user nobody's folder and document
  const std::string folder = own, protect = folder + "/doc.koma";
  g_free(own);
  write_file(protect, "old");
  chmod(protect.c_str(), 0444);
  ASSERT_TRUE(geteuid() != 0 || (chown(folder.c_str(), 65534, 65534) | chown(protect.c_str(), 65534, 65534)) == 0);
  // after: save_fg and start_fg, with the picture and name kept; or the whole new state
  const struct { const char *item; std::string name; int changed; std::vector<std::string> steps; std::string trace, after; } cases[] = {
      {"開く(_O)", filed, 1, {"gtk-yes", ""}, "open!!\nsave!!\n" + yes + "[開く]", "01"},
      {"開く(_O)", untitled, 1, {"gtk-yes", "", ""}, "open!!\n" + saveas + yes + "[開く]", "11"},
      {"開く(_O)", filed, 1, {"gtk-no", ""}, "open!!\nNo button was pressed.\n[開く]", "11"},
      {"開く(_O)", filed, 1, {"close", ""}, "open!!\nAnother response was recieved.\n[開く]", "11"},
      {"開く(_O)", filed, 0, {""}, "open!!\n[開く]", "00"},
      {"終了(_Q)", lost, 1, {"gtk-yes"}, "save!!\n" + yes + why, "10"},
      {"終了(_Q)", filed, 0, {}, "quit\n[main loop ended]", "00"},
      {"", filed, 1, {"gtk-no"}, "No button was pressed.\nquit\n[main loop ended]", "11"},
      {"開く(_O)", lost, 1, {"gtk-yes"}, "open!!\nsave!!\n" + yes + why, "10"},
      {"終了(_Q)", protect, 1, {"gtk-yes"}, "save!!\n" + yes + "error... 保存できませんでした。", "10"},
      {"新規(_N)", untitled, 1, {"gtk-yes", "gone:" + gone + "/pic.koma"},
       "newnew!!\n" + saveas + "menu save as:" + gone + "/pic.koma\n" + yes + why, "11"},
      {"新規(_N)", filed, 0, {"2048 1"}, "newnew!!\n" + refused + refused + "change!!\ncb_change_button\ncb_change5\n",
       "koma1.0\n2048 x 1\n" + whites(2048) + "無題.koma|01|20480x10KOMA ver 1.0:無題.koma"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.trace);
    write_file(filed, "old");
    g_mkdir(gone.c_str(), 0755);
    px_dot(px_cnvs, 3, 4, 10, 20, 30);
    g_strlcpy(now_file_name, c.name.c_str(), sizeof now_file_name);
    save_fg = c.changed, start_fg = c.name == untitled, px_status_text[0] = '\0';
    const std::string before = state(), picture = koma_format(mv_size_widht, mv_size_heigth, px_cnvs);
    const std::size_t flags = before.find('|') + 1;  // right after the name
    // Root could write the protected document: the user nobody answers (the
    // effective ids decide), back to root as soon as the command has ended.
    const bool nobody = c.name == protect && geteuid() == 0;
    if (nobody) {
      ASSERT_EQ(setegid(65534) | seteuid(65534), 0);
    }
    const std::string trace = run(c.item, c.steps) + px_status_text;
    if (nobody) {
      ASSERT_EQ(seteuid(0) | setegid(0), 0);
    }
    EXPECT_EQ(trace, c.trace);
    EXPECT_EQ(state(), c.after.size() > 2 ? c.after : before.substr(0, flags) + c.after + before.substr(flags + 2));
    EXPECT_EQ(read_file(filed), c.name == filed && c.trace.find("save!!") != c.trace.npos ? picture : "old");
  }
  EXPECT_EQ(read_file(protect), "old");
  std::filesystem::remove_all(folder);
}

// The editor's exports of a picture in four colours, and koma-export's of its
// document, incomplete: the BMP byte for byte, the PNG pixel for pixel, the
// JPEG nearly; a failure writes nothing and says why. The preview is a snapshot
// of the picture (never of the shape being drawn) that only "更新" renews.
// Where the working directory takes no file, the temporary BMPs go to the cache;
// a link planted under their names is replaced, never written through.
TEST_F(FileCommands, ExportsKomaExportAndThePreviewShowThePicture) {
  auto shown = [] { return image("", gtk_image_get_pixbuf(GTK_IMAGE(find_widget(preview_window, GTK_TYPE_IMAGE)))); };
  const std::string victim = make_scratch_dir("victim") + "/v";  // links planted at the temporary names
  write_file(victim, "kept");
  for (const char *name : {".px_tmp000001.bmp", ".px_tmp100001.bmp"}) EXPECT_EQ((g_remove(name), symlink(victim.c_str(), name)), 0);
  active_preview(nullptr, nullptr);  // of the white start-up picture
  EXPECT_TRUE(read_file(victim) == "kept");
  const int colours[4] = {0xC81E28, 0x14A03C, 0x1E28DC, 0xFFFFFF};  // in 32 x 16 quadrants
  cnvs_allocate(64, 32, true, "error");
  std::string cells, bmp = bmp_header(64, 32), rgb = "64x32 ";  // koma2int32's trace, the images
  for (int i = 0; i < 64 * 32; i++) {
    const int c = colours[i / 1024 * 2 + i % 64 / 32], r = c >> 16, g = c >> 8 & 255, b = c & 255;
    px_dot(px_cnvs, i % 64, i / 64, r, g, b);
    if (i < 64) px_dot(px_cnvs_vtl, i, 1, 0, 0, 0);  // a shape being drawn
    cells += std::to_string(c) + "\n";
    bmp += {char(b), char(g), char(r), 0};
    rgb += {char(r), char(g), char(b)};
  }
  EXPECT_TRUE(shown() == "64x64 " + std::string(3 * 64 * 64, '\xFF'));
  gtk_button_clicked(GTK_BUTTON(find_widget(preview_window, GTK_TYPE_BUTTON, "更新")));
  EXPECT_TRUE(shown() == rgb && preview_fg == 1);
  send_delete(preview_window);
  EXPECT_EQ(preview_fg, 0);
  save_fg = 1;
  const std::string dir = make_scratch_dir("export") + "/", tmp = ".px_tmp100001.bmp";
  for (std::string kind : {"BMP", "PNG", "JPEG"}) {
    SCOPED_TRACE(kind);
    const std::string ext = kind == "BMP" ? "bmp" : kind == "PNG" ? "png" : "jpeg";
    const std::string item = kind + "ファイルとして保存(_" + kind[0] + ")", end = ext + "_write6\n";
    const std::string names = "export_" + ext + "!!\nl=11\nl=6\n\n無題\n[エクスポート " + kind + "]";
    auto traces = [&](const std::string &to, bool written) {  // PNG and JPEG: a BMP first
      return names + "menu export:" + to + "\n" + cells + "bmp_write\n" +
             (written ? "bmp_write\nbmp_write2\nbmp_write3\nbmp_write4\nbmp_write5\n" : "") + end;
    };
    EXPECT_EQ(run(item.c_str(), {""}) + run(item.c_str(), {dir + "p." + ext}), names + end + traces(dir + "p." + ext, true));
    const std::string got = image(dir + "p." + ext);
    ASSERT_EQ(got.size(), rgb.size());
    for (std::size_t i = 6; i < got.size(); i++) {  // JPEG blurs, most at the quadrants' edges
      const std::size_t x = (i - 6) / 3 % 64, y = (i - 6) / 192;
      ASSERT_NEAR(guchar(got[i]), guchar(rgb[i]), kind != "JPEG" ? 0 : x - 31 > 1 && y - 15 > 1 ? 4 : 255);
    }
    for (bool blocked : {false, true}) {  // a folder that is gone; a folder where the temporary BMP goes
      if (blocked && kind == "BMP") continue;
      const std::string failed = make_scratch_dir("export") + "/out.img";
      if (blocked) g_remove(tmp.c_str()), g_mkdir(tmp.c_str(), 0755);
      EXPECT_EQ(run(item.c_str(), {(blocked ? "" : "gone:") + failed}) + px_status_text,
                traces(failed, !blocked && kind != "BMP") + "error... " +
                    (blocked ? "一時ファイルに書き込めません。" : "ファイルに書き込めません。"));
      g_rmdir(tmp.c_str());
      EXPECT_FALSE(g_file_test(failed.c_str(), G_FILE_TEST_EXISTS));
    }
  }
  EXPECT_EQ(now_file_name + std::to_string(save_fg) + (read_file(dir + "p.bmp") == bmp ? " same" : "") +
                (read_file(victim) == "kept" ? " kept" : ""), "無題.koma1 same kept");
  const std::string doc = koma_format(64, 32, px_cnvs), warned = "0 koma-export: " + dir +
      "p.koma: 警告: ファイルが不完全です。残りは白にしました。\n";
  write_file(dir + "p.koma", doc.substr(0, doc.size() - 32 * 12));  // without its last 32 white cells
  EXPECT_EQ(koma_export(dir + "p.koma " + dir + "k.bmp") + koma_export(dir + "p.koma " + dir + "k.png"), warned + warned);
  EXPECT_TRUE(read_file(dir + "k.bmp") == bmp && image(dir + "k.png") == rgb);
  const std::string gone = make_scratch_dir("gone"), cache = enter_test_workdir() + "/cache/koma/";
  ASSERT_EQ(chdir(gone.c_str()), 0);
  g_rmdir(gone.c_str());
  active_preview(nullptr, nullptr);
  run("PNGファイルとして保存(_P)", {dir + "c.png"});
  enter_test_workdir();
  EXPECT_TRUE(shown() == rgb && image(dir + "c.png") == rgb);
  for (const char *name : {".px_tmp000001.bmp", ".px_tmp100001.bmp"})
    EXPECT_TRUE(read_file(cache + name) == bmp) << name;
}

// Scaled by nearest neighbour; under a file-size limit that the image (or the
// temporary BMP of a PNG) outgrows, status 1, one line, and no file left,
// temporary or not. Its other answers are in the golden session.
TEST_F(FileCommands, KomaExportScalesAndFailsUnderALimit) {
  const std::string dir = make_scratch_dir("koma-export") + "/", doc = dir + "d.koma";
  cnvs_allocate(64, 32, true, "error");
  for (int i = 0; i < 3 * 64 * 32; i++) px_cnvs[i] = (i * 7919 + i / 3 * 31) % 256;
  write_file(doc, koma_format(64, 32, px_cnvs));
  EXPECT_EQ(koma_export("-s 128 " + doc + " " + dir + "s.png") + koma_export("-s 99 " + doc + " " + dir + "s.bmp"), "0 0 ");
  std::string scaled = "128x64 ";  // each cell 2 x 2
  for (int i = 0; i < 3 * 128 * 64; i++) scaled += char(px_cnvs[3 * (i / 768 * 64 + i / 3 % 128 / 2) + i % 3]);
  EXPECT_TRUE(image(dir + "s.png") == scaled);
  EXPECT_EQ(image(dir + "s.bmp").substr(0, 6), "99x50 ");  // 49.5 rounded
  for (auto [out, why] : {std::pair("o.png", "一時ファイルに書き込めません。"), {"o.bmp", "ディスクがいっぱいで保存できません。"}})
    EXPECT_EQ(koma_export(doc + " " + dir + out, "8"), "1 koma-export: " + dir + out + ": " + why + "\n");
  namespace fs = std::filesystem;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}) +
                std::distance(fs::directory_iterator(enter_test_workdir() + "/cli-tmp"), {}), 3);
}

// koma-export reads a pipe as the editor does: an endless one up to its last cell; one that stalls after
// its header fails within 3 s, in one line, and writes nothing.
TEST_F(FileCommands, KomaExportFromPipesThatStallOrNeverEnd) {
  const std::string dir = make_scratch_dir("koma-export-pipes") + "/", fifo = dir + "fifo", out = dir + "o.bmp";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (bool endless : {true, false}) {
    const pid_t writer = pipe_writer(fifo, "koma1.0\n2 x 1\n", endless ? "1,2,3\n" : "");
    const auto t0 = std::chrono::steady_clock::now();
    const std::string r = koma_export(fifo + " " + out);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
    kill(writer, SIGKILL), waitpid(writer, nullptr, 0);
    EXPECT_LT(took.count(), 3) << endless;
    if (endless) EXPECT_TRUE(r == "0 " && read_file(out) == bmp_header(2, 1) + std::string("\3\2\1\0\3\2\1\0", 8)) << r;
    else EXPECT_EQ(r + std::to_string(g_file_test(out.c_str(), G_FILE_TEST_EXISTS)),
                   "1 koma-export: " + fifo + ": ファイルを読めません。(Connection timed out)\n0");
    g_remove(out.c_str());
  }
}

// A document without cells opens; exporting it says at once that it cannot be, asks for no name and
// writes nothing, from the menu and from koma-export alike.
TEST_F(FileCommands, PictureWithoutCellsIsNotExported) {
  const std::string dir = make_scratch_dir("no-cells") + "/", doc = dir + "empty.koma", stem = dir + "empty";
  write_file(doc, "koma1.0\n0 x 3\n");
  EXPECT_EQ(px_open(doc.c_str()), 1);
  const std::string names = "l=" + std::to_string(doc.size()) + "\nl=" + std::to_string(stem.size()) + "\n\n" + stem + "\n";
  const std::string why = "マスが一つもない絵は書き出せません。";
  const guint guard = g_timeout_add(2000, [](gpointer) -> gboolean {  // a chooser would wait for an answer
    g_autoptr(GList) tops = gtk_window_list_toplevels();
    for (GList *l = tops; l; l = l->next)
      if (GTK_IS_FILE_CHOOSER(l->data)) gtk_dialog_response(GTK_DIALOG(l->data), GTK_RESPONSE_CANCEL);
    return TRUE;
  }, nullptr);
  for (std::string ext : {"bmp", "png", "jpeg"}) {
    std::string kind = ext;
    for (char &c : kind) c = std::toupper(c);
    px_status_text[0] = '\0';
    EXPECT_EQ(run((kind + "ファイルとして保存(_" + kind[0] + ")").c_str()) + px_status_text,
              "export_" + ext + "!!\n" + names + ext + "_write6\nerror... " + why);
    EXPECT_EQ(koma_export(doc + " " + stem + "." + ext) + koma_export("-s 64 " + doc + " " + stem + "." + ext),
              "1 koma-export: " + doc + ": " + why + "\n1 koma-export: " + doc + ": " + why + "\n");
  }
  g_source_remove(guard);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}) +
                std::distance(std::filesystem::directory_iterator(enter_test_workdir() + "/cli-tmp"), {}), 1);
}
