// koma-export, the command-line exporter, against the editor's own export.
#include <sys/resource.h>

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <random>

#include "app/globals.h"
#include "files/document.h"
#include "files/export.h"
#include "support/gui.h"
#include "support/workdir.h"

namespace {
struct Outcome {
  int status;  // the exit status, or -1 when the program did not exit
  std::string err;
};

// The temporary folder of the runs below, to see that each run empties it.
const std::string &child_tmp() {
  static const std::string dir = make_scratch_dir("tmp");
  return dir;
}

// Runs koma-export with `args`; `size_limit` in bytes caps the files it writes.
Outcome koma_export(std::vector<std::string> args, rlim_t size_limit = RLIM_INFINITY) {
  args.insert(args.begin(), KOMA_EXPORT_BIN);
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  gchar **env = g_environ_setenv(g_get_environ(), "TMPDIR", child_tmp().c_str(), TRUE);
  gchar *err = nullptr;
  gint wait = 0;
  const bool ran = g_spawn_sync(
      nullptr, argv.data(), env, G_SPAWN_STDOUT_TO_DEV_NULL,
      [](gpointer limit) {
        const rlimit r = {*static_cast<rlim_t *>(limit), *static_cast<rlim_t *>(limit)};
        setrlimit(RLIMIT_FSIZE, &r);
      },
      &size_limit, nullptr, &err, &wait, nullptr);
  Outcome run{ran && WIFEXITED(wait) ? WEXITSTATUS(wait) : -1, err ? err : ""};
  g_free(err);
  g_strfreev(env);
  return run;
}

// The editor's export of its current picture through the chooser, to a new file.
void editor_export(void (*command)(GtkMenuItem *, gpointer), const std::string &path) {
  g_remove(path.c_str());  // else the chooser asks whether to replace it
  answer_next_dialog([=](GtkWidget *d) {
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(d), path.c_str());
    gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
  });
  PrintCapture quiet;
  command(nullptr, nullptr);
}

// "WxH" and the RGB bytes of an image file, or "" when it cannot be read.
std::string pixels(const std::string &path) {
  GdkPixbuf *pb = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  if (!pb) return "";
  const int w = gdk_pixbuf_get_width(pb), h = gdk_pixbuf_get_height(pb);
  std::string out = std::to_string(w) + "x" + std::to_string(h) + " ";
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      out.append(reinterpret_cast<const char *>(gdk_pixbuf_get_pixels(pb)) +
                     y * gdk_pixbuf_get_rowstride(pb) + x * gdk_pixbuf_get_n_channels(pb),
                 3);
  g_object_unref(pb);
  return out;
}

// A w x h document of random colours; `extra` is appended to its text.
std::string random_document(int w, int h, unsigned seed, std::vector<int> *cells = nullptr) {
  std::mt19937 rng(seed);
  std::vector<int> c(3 * w * h);
  for (int &v : c) v = int(rng() % 256);
  if (cells) *cells = c;
  return koma_format(w, h, c.data());
}

std::string names_in(const std::string &dir) {
  GDir *d = g_dir_open(dir.c_str(), 0, nullptr);
  std::string names;
  for (const gchar *n; d && (n = g_dir_read_name(d));) names += std::string(n) + " ";
  if (d) g_dir_close(d);
  return names;
}

bool one_line(const std::string &s) {
  return s.rfind("koma-export: ", 0) == 0 && s.find('\n') == s.size() - 1;
}
}  // namespace

using KomaExport = GuiTest;

TEST_F(KomaExport, WritesWhatTheEditorExportsAndFillsAnIncompleteDocumentWithWhite) {
  const std::string dir = make_scratch_dir("koma-export") + "/";
  const struct { std::string text; bool incomplete; } docs[] = {
      {random_document(64, 32, 1), false}, {random_document(1, 1, 2), false},
      {random_document(5, 7, 3), false},
      {"koma1.0\n3 x 2\n300,-1,7\n0,0,0\n4,5,6\n1,2", true},  // out of range; cut in a cell
  };
  const std::string warning =
      "koma-export: " + dir + "d.koma: 警告: ファイルが不完全です。残りは白にしました。\n";
  for (const auto &doc : docs) {
    SCOPED_TRACE(doc.text.substr(0, 40));
    write_file(dir + "d.koma", doc.text);
    PrintCapture quiet;
    ASSERT_EQ(px_open((dir + "d.koma").c_str()), 1);
    for (auto [command, ext] : {std::pair(cb_export_bmp, ".bmp"), std::pair(cb_export_png, ".png"),
                                std::pair(cb_export_jpeg, ".jpeg")}) {
      editor_export(command, dir + "editor" + ext);
      const Outcome r = koma_export({dir + "d.koma", dir + "cli" + ext});
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.err, doc.incomplete ? warning : "");
      EXPECT_EQ(read_file(dir + "cli" + ext), read_file(dir + "editor" + ext)) << ext;
      if (std::string(ext) == ".png") {
        EXPECT_EQ(pixels(dir + "cli.png"), pixels(dir + "editor.png"));
      }
    }
  }
}

TEST_F(KomaExport, ScalesByNearestNeighbourToTheLongerSide) {
  const std::string dir = make_scratch_dir("koma-export") + "/";
  std::vector<int> cells;
  write_file(dir + "wide.koma", random_document(64, 32, 4, &cells));
  write_file(dir + "tall.koma", random_document(30, 45, 5));
  // SIZE, and the cells per output pixel along each side (source / output)
  const struct { const char *size; int w, h; } cases[] = {{"128", 128, 64}, {"16", 16, 8}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.size);
    ASSERT_EQ(koma_export({"-s", c.size, dir + "wide.koma", dir + "s.png"}).status, 0);
    std::string want = std::to_string(c.w) + "x" + std::to_string(c.h) + " ";
    for (int y = 0; y < c.h; y++)
      for (int x = 0; x < c.w; x++) {
        const int *p = &cells[3 * (y * 32 / c.h * 64 + x * 64 / c.w)];  // 2 x 2 blocks; every 4th
        want += {char(p[0]), char(p[1]), char(p[2])};
      }
    EXPECT_EQ(pixels(dir + "s.png"), want);
  }
  ASSERT_EQ(koma_export({"-s", "100", dir + "tall.koma", dir + "t.bmp"}).status, 0);
  EXPECT_EQ(pixels(dir + "t.bmp").substr(0, 7), "67x100 ");
}

TEST_F(KomaExport, FailuresSayWhyInOneLineAndLeaveNoOutput) {
  const std::string dir = make_scratch_dir("koma-export") + "/", doc = dir + "d.koma";
  write_file(doc, random_document(64, 64, 5));
  write_file(dir + "text.koma", "koma1.0\r\n1 x 1\n0,0,0\n");
  write_file(dir + "huge.koma", "koma1.0\n2049 x 1\n");
  const struct { std::vector<std::string> args; const char *out; rlim_t limit; } cases[] = {
      {{dir + "missing.koma", dir + "o.png"}, "o.png", RLIM_INFINITY},
      {{dir, dir + "o.png"}, "o.png", RLIM_INFINITY},  // a folder
      {{dir + "text.koma", dir + "o.bmp"}, "o.bmp", RLIM_INFINITY},
      {{dir + "huge.koma", dir + "o.bmp"}, "o.bmp", RLIM_INFINITY},
      {{doc, dir + "o.gif"}, "o.gif", RLIM_INFINITY},
      {{doc, dir + "o"}, "o", RLIM_INFINITY},
      {{doc, dir + "gone/o.png"}, "gone/o.png", RLIM_INFINITY},
      {{doc, dir + "gone/o.bmp"}, "gone/o.bmp", RLIM_INFINITY},
      {{doc, dir + "o.png"}, "o.png", 4096},  // the temporary BMP outgrows the limit
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    const Outcome r = koma_export(c.args, c.limit);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(one_line(r.err)) << r.err;
    EXPECT_FALSE(g_file_test((dir + c.out).c_str(), G_FILE_TEST_EXISTS));
  }
  for (auto args : {std::vector<std::string>{}, {doc}, {"-s", "0", doc, dir + "o.png"},
                    {"-s", "8193", doc, dir + "o.png"}, {"-x", doc, dir + "o.png"}}) {
    const Outcome u = koma_export(args);
    EXPECT_TRUE(u.status == 2 && one_line(u.err)) << u.err;
  }
  EXPECT_EQ(koma_export({"--version"}).status, 0);
  EXPECT_EQ(koma_export({"--help"}).status, 0);
  EXPECT_EQ(names_in(child_tmp()), "");  // every run removed its temporary folder
}

// Rests on every file write being atomic (a temporary file renamed into place).
TEST_F(KomaExport, SizeLimitLeavesNoPartialBmp) {
  const std::string dir = make_scratch_dir("koma-export") + "/";
  write_file(dir + "d.koma", random_document(64, 64, 6));
  const Outcome r = koma_export({dir + "d.koma", dir + "o.bmp"}, 4096);
  EXPECT_TRUE(r.status == 1 && one_line(r.err)) << r.err;
  EXPECT_EQ(names_in(dir), "d.koma ");
}
