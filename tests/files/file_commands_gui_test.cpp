// The File menu's commands through their dialogs and choosers, and the preview.
#include "files/file_commands.h"

#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/menu.h"
#include "app/startup.h"
#include "canvas/cells.h"
#include "files/document.h"
#include "files/export.h"
#include "files/size_dialogs.h"
#include "preview/preview.h"
#include "support/gui.h"
#include "support/state.h"
#include "support/workdir.h"
#include "tools/tool_select.h"
#include "tools/undo.h"

// Runs a command; returns its traces less the canvas's redraws. The chooser it opens, titled
// `title`, is cancelled for "", else given `path`; the folder `gone` goes once the chooser saw it.
template <typename Command>
static std::string run(Command command, const std::string &title = "", const std::string &path = "",
                       const char *gone = "") {
  if (!title.empty()) answer_next_dialog([=](GtkWidget *d) {
    EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(d)), title);
    gtk_file_chooser_set_action(GTK_FILE_CHOOSER(d), GTK_FILE_CHOOSER_ACTION_SAVE);  // takes a path
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(d), path.c_str());
    g_signal_connect(d, "response", G_CALLBACK(+[](GtkWidget *, gint, char *dir) { g_rmdir(dir); }),
                     (gpointer)gone);
    gtk_dialog_response(GTK_DIALOG(d), path.empty() ? GTK_RESPONSE_CANCEL : GTK_RESPONSE_ACCEPT);
  });
  PrintCapture out;
  command(nullptr, nullptr);
  std::string t = out.text();
  for (std::size_t at; (at = t.find("Main_View_Draw\n")) != t.npos;) t.erase(at, 15);
  return t;
}
static std::string state() {  // the picture, name, save_fg and start_fg, canvas size request, title
  gint w, h;
  gtk_widget_get_size_request(drawing_area, &w, &h);
  return koma_format(mv_size_widht, mv_size_heigth, px_cnvs) + now_file_name + "|" +
         std::to_string(save_fg) + std::to_string(start_fg) + "|" + std::to_string(w) + "x" +
         std::to_string(h) + gtk_window_get_title(GTK_WINDOW(window));
}
static void apply(GtkWidget *d, const char *a, const char *b = nullptr) {  // w, h; or the scale
  gtk_entry_set_text(GTK_ENTRY(b ? entry_width : entry_size), a);
  if (b) gtk_entry_set_text(GTK_ENTRY(entry_height), b);
  gtk_button_clicked(GTK_BUTTON(find_widget(d, GTK_TYPE_BUTTON, "gtk-apply")));
}

using FileCommands = GuiTest;

TEST_F(FileCommands, SaveOpenScaleAndTheCommandLine) {
  const std::string dir = make_scratch_dir("save"), path = dir + "/pic.koma", doc3x2 = dir + "/3x2";
  write_file(doc3x2, "koma1.0\n3 x 2\n1,1,1\n2,2,2\n3,3,3\n4,4,4\n5,5,5\n6,6,6\n");
  px_dot(px_cnvs, 3, 4, 10, 20, 30), save_fg = 1;
  EXPECT_EQ(run(cb_save, "名前を付けて保存", path), "saveas!!\nmenu save as:" + path + "\n");
  EXPECT_EQ(state(), read_file(path) + path + "|00|640x640KOMA ver 1.0:" + path);
  EXPECT_EQ(run(cb_open, "開く", ""), "open!!\n");
  EXPECT_EQ(run(cb_open, "開く", doc3x2), "open!!\nmenu open:" + doc3x2 + "\n3,2");
  const std::string title = "KOMA ver 1.0:" + doc3x2 + "  ( 3 x 2 )";
  EXPECT_EQ(state(), read_file(doc3x2) + doc3x2 + "|00|30x20" + title);
  save_fg = 1;  // a failing Save As changes nothing
  const std::string changed = state(), gone = make_scratch_dir("gone");
  run(cb_saveas, "名前を付けて保存", gone + "/a.koma", gone.c_str());
  EXPECT_EQ(state() + px_status_text, changed + "error... 保存先のフォルダがありません。");
  const std::pair<const char *, int> scales[] = {{"1", 2},   {"0", 2}, {"abc", 2}, {"11", 10},
                                                 {"25", 10}, {"5", 5}, {"7x", 7}};
  for (auto [entry, n] : scales) {
    answer_next_dialog([entry = entry](GtkWidget *d) { apply(d, entry); });
    EXPECT_EQ(run(cb_change_scale), "destroy\ncreat_main_view\nsize change:" + std::to_string(n));
  }
  EXPECT_EQ(state(), read_file(doc3x2) + doc3x2 + "|10|21x14" + title);  // all kept
  destroy_all_windows();
  reset_editor_state();
  char prog[] = "koma", *argv[] = {prog, const_cast<char *>(doc3x2.c_str()), nullptr};
  koma_start(2, argv);
  EXPECT_EQ(state(), read_file(doc3x2) + doc3x2 + "|00|30x20" + title);
}

TEST_F(FileCommands, NewPromptsForChangesThenRunsTheSizeDialog) {
  const std::string path = make_scratch_dir("prompt") + "/filed.koma";
  const std::string white = koma_format(32, 16, std::vector<int>(3 * 32 * 16, 255).data());
  const struct { bool changed, filed; const char *button; std::string trace; } cases[] = {
      {false, true, nullptr, ""}, {true, true, "gtk-yes", "save!!\nYes button was pressed.\n"},
      {true, false, "gtk-yes", "saveas!!\nYes button was pressed.\n"},  // Save As cancelled
      {true, true, "gtk-no", "No button was pressed.\n"},
      {true, true, nullptr, "Another response was recieved.\n"},  // closed by the window manager
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.trace);
    write_file(path, "old");
    px_dot(px_cnvs, 3, 4, 10, 20, 30);
    const std::string drawn = koma_format(mv_size_widht, mv_size_heigth, px_cnvs);
    g_strlcpy(now_file_name, c.filed ? path.c_str() : "無題.koma", sizeof now_file_name);
    save_fg = c.changed, start_fg = !c.filed;
    std::function<void(GtkWidget *)> next = [&](GtkWidget *d) {  // prompt, Save As, size dialog
      if (d == change_dialog) {
        const std::string before = state();
        for (auto [w, h] : {std::pair("2049", "1"), std::pair("1", "-1")}) {
          apply(d, w, h);  // refused: the dialog stays, with its message; nothing changes
          GtkWidget *message = find_widget(d, GTK_TYPE_LABEL, "0〜2048の数を入れてください。");
          EXPECT_TRUE(message && gtk_widget_get_visible(message) && state() == before) << w << h;
        }
        return apply(d, "32", "16");
      }
      answer_next_dialog(next);
      if (GTK_IS_FILE_CHOOSER(d)) return gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL);
      EXPECT_EQ(" \"" + std::string(now_file_name) + "\"\nで変更した内容を閉じる前に保存しますか？",
                gtk_label_get_text(GTK_LABEL(find_widget(d, GTK_TYPE_LABEL))));
      if (c.button) gtk_button_clicked(GTK_BUTTON(find_widget(d, GTK_TYPE_BUTTON, c.button)));
      else send_delete(d);
    };
    answer_next_dialog(next);
    EXPECT_EQ(run(cb_new), "newnew!!\n" + c.trace + "change!!\ncb_change_button\ncb_change5\n");
    EXPECT_EQ(read_file(path), c.trace.rfind("save!!", 0) == 0 ? drawn : "old");
    EXPECT_EQ(state(), white + "無題.koma|01|320x160KOMA ver 1.0:無題.koma");
  }
}

TEST_F(FileCommands, ExportsReadBackAndFailuresLeaveTheDocumentAlone) {
  const int colours[4] = {0xC81E28, 0x14A03C, 0x1E28DC, 0xFAFAFA};  // in 16 x 16 quadrants
  auto colour = [&](int i) { return colours[i / 512 * 2 + i % 32 / 16]; };
  cnvs_allocate(32, 32, true, "error");
  std::string cells;  // what koma2int32 prints for them
  for (int i = 0; i < 32 * 32; cells += std::to_string(colour(i++)) + "\n")
    px_dot(px_cnvs, i % 32, i / 32, colour(i) >> 16, colour(i) >> 8 & 255, colour(i) & 255);
  save_fg = 1;
  const std::string dir = make_scratch_dir("export"), tmp = ".px_tmp100001.bmp";
  const struct { decltype(&cb_export_bmp) command; std::string kind, title; int near; } cases[] = {
      {cb_export_bmp, "bmp", "エクスポート BMP", 0}, {cb_export_png, "png", "エクスポート PNG", 0},
      {cb_export_jpeg, "jpeg", "エクスポート JPEG", 4}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.kind);
    const std::string path = dir + "/p." + c.kind, last = c.kind + "_write6\n";
    const std::string names = "export_" + c.kind + "!!\nl=11\nl=6\n\n無題\n";
    auto traces = [&](const std::string &to, bool written) {  // PNG and JPEG: a BMP first
      return names + "menu export:" + to + "\n" + cells + "bmp_write\n" +
             (written ? "bmp_write\nbmp_write2\nbmp_write3\nbmp_write4\nbmp_write5\n" : "") + last;
    };
    EXPECT_EQ(run(c.command, c.title, ""), names + last);
    EXPECT_EQ(run(c.command, c.title, path), traces(path, true));
    GdkPixbuf *pb = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
    ASSERT_TRUE(pb && gdk_pixbuf_get_width(pb) == 32 && gdk_pixbuf_get_height(pb) == 32);
    for (int i = 0, x = 0, y = 0; i < 32 * 32; x = ++i % 32, y = i / 32) {
      if (c.near && (unsigned(x - 15) < 2 || unsigned(y - 15) < 2)) continue;  // JPEG blurs edges
      const guchar *p = gdk_pixbuf_get_pixels(pb) + y * gdk_pixbuf_get_rowstride(pb) +
                        x * gdk_pixbuf_get_n_channels(pb);
      for (int k = 0; k < 3; k++) ASSERT_NEAR(p[k], colour(i) >> (16 - 8 * k) & 255, c.near) << i;
    }
    g_object_unref(pb);
    for (bool blocked : {false, true}) {  // a folder that is gone; a folder as temporary file
      if (blocked && c.kind == "bmp") continue;
      const std::string folder = make_scratch_dir("export"), failed = folder + "/out.img";
      if (blocked) g_remove(tmp.c_str()), g_mkdir(tmp.c_str(), 0755);
      px_status_text[0] = '\0';
      const char *msg = blocked ? "一時ファイルに書き込めません。" : "ファイルに書き込めません。";
      EXPECT_EQ(run(c.command, c.title, failed, blocked ? "" : folder.c_str()) + px_status_text,
                traces(failed, !blocked && c.kind != "bmp") + "error... " + msg);
      g_rmdir(tmp.c_str());
      EXPECT_FALSE(g_file_test(failed.c_str(), G_FILE_TEST_EXISTS));
    }
  }
  EXPECT_EQ(now_file_name + std::to_string(save_fg), "無題.koma1");
}

TEST_F(FileCommands, PreviewIsASnapshotThatOnlyUpdateRenews) {
  auto shown = [](int x, int y) {  // "WxH RRGGBB": the image's size and its colour at (x, y)
    GdkPixbuf *pb = gtk_image_get_pixbuf(GTK_IMAGE(find_widget(preview_window, GTK_TYPE_IMAGE)));
    const guchar *p = gdk_pixbuf_get_pixels(pb) + y * gdk_pixbuf_get_rowstride(pb) +
                      x * gdk_pixbuf_get_n_channels(pb);
    g_autofree gchar *s = g_strdup_printf("%dx%d %02X%02X%02X", gdk_pixbuf_get_width(pb),
                                          gdk_pixbuf_get_height(pb), p[0], p[1], p[2]);
    return std::string(s);
  };
  active_preview(nullptr, nullptr);
  px_dot(px_cnvs, 3, 4, 255, 0, 0);
  EXPECT_EQ(shown(3, 4), "64x64 FFFFFF");
  gtk_button_clicked(GTK_BUTTON(find_widget(preview_window, GTK_TYPE_BUTTON, "更新")));
  EXPECT_EQ(shown(3, 4) + " " + std::to_string(preview_fg), "64x64 FF0000 1");
  send_delete(preview_window);
  EXPECT_EQ(preview_fg, 0);
  cnvs_allocate(5, 3, true, "error");
  px_dot(px_cnvs, 4, 2, 10, 20, 30);
  for (int x = 0; x < 5; x++) px_dot(px_cnvs_vtl, x, 1, 0, 0, 255);  // a shape being drawn
  active_preview(nullptr, nullptr);
  EXPECT_EQ(shown(4, 2) + " " + shown(2, 1), "5x3 0A141E 5x3 FFFFFF");
  send_delete(preview_window);  // the temporary file stays, holding the last picture
  EXPECT_EQ(read_file(".px_tmp000001.bmp").substr(54 + 4 * 14), std::string("\x1E\x14\x0A\x00", 4));
}

// Yes in the prompt whose save fails: Quit, New and Open stop there, the
// picture and its unsaved state stay. Every dialog is answered from a
// timeout: the prompt with Yes, Save As with a path in a folder that goes,
// anything else (the size dialog, the Open chooser) is cancelled and noted.
TEST_F(FileCommands, PromptWhoseSaveFailsStopsQuitNewAndOpen) {
  const std::string gone = make_scratch_dir("gone");
  const struct { void (*command)(); bool filed; std::string trace; } cases[] = {
      {[] { cb_quit(); }, true, "save!!\n"},
      {[] { cb_new(); }, false, "newnew!!\nsaveas!!\nmenu save as:" + gone + "/pic.koma\n"},
      {[] { cb_open(); }, true, "open!!\nsave!!\n"},
  };
  struct Answers { std::string path, gone, extra; } answers{gone + "/pic.koma", gone, ""};
  const guint answering = g_timeout_add(25, [](gpointer data) -> gboolean {
    auto *a = static_cast<Answers *>(data);
    GList *tops = gtk_window_list_toplevels();
    for (GList *l = tops; l; l = l->next) {
      GtkWidget *d = GTK_WIDGET(l->data);
      if (!GTK_IS_DIALOG(d) || !gtk_widget_get_mapped(d) || g_object_get_data(G_OBJECT(d), "answered"))
        continue;
      g_object_set_data(G_OBJECT(d), "answered", d);
      if (GtkWidget *yes = find_widget(d, GTK_TYPE_BUTTON, "gtk-yes")) {
        gtk_button_clicked(GTK_BUTTON(yes));
      } else if (g_strcmp0(gtk_window_get_title(GTK_WINDOW(d)), "名前を付けて保存") == 0) {
        gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(d), a->path.c_str());
        g_signal_connect(d, "response", G_CALLBACK(+[](GtkWidget *, gint, char *dir) { g_rmdir(dir); }),
                         (gpointer)a->gone.c_str());
        gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
      } else {
        a->extra += std::string(" ") + (gtk_window_get_title(GTK_WINDOW(d)) ?: "(untitled)");
        gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL);
      }
      break;  // a response may destroy windows of the list
    }
    g_list_free(tops);
    return TRUE;
  }, &answers);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.trace);
    g_mkdir(gone.c_str(), 0755);
    px_dot(px_cnvs, 3, 4, 10, 20, 30);
    const std::string name = c.filed ? gone + "/no/such.koma" : "無題.koma";
    g_strlcpy(now_file_name, name.c_str(), sizeof now_file_name);
    save_fg = 1, start_fg = !c.filed, px_status_text[0] = '\0';
    const std::string before = state();
    struct Run { void (*command)(); bool alive; guint check; } run{c.command, false, 0};
    // The command, then a check that the main loop still runs.
    g_idle_add([](gpointer data) -> gboolean {
      auto *r = static_cast<Run *>(data);
      r->command();
      r->check = g_idle_add([](gpointer data) -> gboolean {
        auto *r = static_cast<Run *>(data);
        r->alive = true, r->check = 0;
        gtk_main_quit();
        return FALSE;
      }, r);
      return FALSE;
    }, &run);
    PrintCapture out;
    gtk_main();
    if (run.check) g_source_remove(run.check);
    std::string t = out.text();
    for (std::size_t at; (at = t.find("Main_View_Draw\n")) != t.npos;) t.erase(at, 15);
    EXPECT_EQ(t, c.trace + "Yes button was pressed.\n");
    EXPECT_EQ(std::to_string(run.alive) + answers.extra + (state() == before ? " kept " : " changed ") +
                  px_status_text, "1 kept error... 保存先のフォルダがありません。");
    answers.extra.clear();
  }
  g_source_remove(answering);
}

// Exit status bits: 1 the document changed, 2 it is marked saved, 4 another
// message, 8 a file was left beside it.
static int save_under_a_file_size_limit() {
  const std::string dir = make_scratch_dir("limited"), doc = dir + "/pic.koma";
  write_file(doc, "koma1.0\n1 x 1\n1,2,3\n");
  const rlimit limit{4096, 4096};  // below the 49,168 bytes of the picture
  setrlimit(RLIMIT_FSIZE, &limit);
  px_dot(px_cnvs, 1, 1, 1, 2, 3);
  g_strlcpy(now_file_name, doc.c_str(), sizeof now_file_name), save_fg = 1, start_fg = 0;
  cb_save();
  return (read_file(doc) != "koma1.0\n1 x 1\n1,2,3\n") | (save_fg != 1) << 1 |
         (px_status_text != std::string("error... ディスクがいっぱいで保存できません。")) << 2 |
         (std::distance(std::filesystem::directory_iterator(dir), {}) != 1) << 3;
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer runtime needs the address space
// Draw, an Open refused for memory, draw, undo. Exit status bits: 1 the Open
// was not refused for memory, 2 the pending line's first preview stayed, 4
// the picture counts as saved, 8 Quit did not ask.
static int open_under_a_memory_limit() {
  const std::string huge = make_scratch_dir("huge") + "/huge.koma";
  write_file(huge, "koma1.0\n2048 x 2048\n");  // 1.2 GB of buffers
  click(drawing_area, 25, 25);                  // a dot at (2, 2)
  px_select_tool(kToolLine, nullptr);
  click(drawing_area, 55, 55);  // the line starts at (5, 5)
  send_motion(drawing_area, 155, 55);
  rlimit as, capped;
  getrlimit(RLIMIT_AS, &as);
  unsigned long pages = 0;
  std::FILE *statm = std::fopen("/proc/self/statm", "r");
  if (!statm || std::fscanf(statm, "%lu", &pages) != 1) return 255;
  std::fclose(statm);
  capped = {pages * sysconf(_SC_PAGESIZE) + (rlim_t(256) << 20), as.rlim_max};
  setrlimit(RLIMIT_AS, &capped);
  const bool refused =
      !px_open(huge.c_str()) && px_status_text == std::string("error... メモリが足りません。");
  setrlimit(RLIMIT_AS, &as);
  send_motion(drawing_area, 55, 155);  // the preview turns down to (5, 15)
  std::set<int> preview, down;
  for (int i = 0; i < 64 * 64; i++)
    if (!px_is_white(px_cnvs_vtl + 3 * i)) preview.insert(i);
  for (int y = 5; y <= 15; y++) down.insert(5 + 64 * y);
  click(drawing_area, 55, 155);
  px_undo();
  const int saved = save_fg != 1;
  static bool asked = false;
  answer_next_dialog([](GtkWidget *d) {
    asked = true;
    gtk_button_clicked(GTK_BUTTON(find_widget(d, GTK_TYPE_BUTTON, "gtk-no")));
  });
  g_idle_add([](gpointer) -> gboolean { cb_quit(); return FALSE; }, nullptr);
  gtk_main();
  return int(!refused) | (preview != down) << 1 | saved << 2 | int(!asked) << 3;
}
#endif

// Each in a fresh program that started as this one did (a child that runs
// the test again up to there, with a display connection of its own).
TEST_F(FileCommands, FileSizeAndMemoryLimitsFailOnlyTheCommand) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(save_under_a_file_size_limit()), testing::ExitedWithCode(0), "");
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_EXIT(std::exit(open_under_a_memory_limit()), testing::ExitedWithCode(0), "");
#endif
}

TEST_F(FileCommands, TemporaryFilesGoToTheCacheWhereTheWorkingDirectoryTakesNone) {
  const std::string gone = make_scratch_dir("gone"), png = make_scratch_dir("export") + "/p.png";
  const std::string cache = std::string(g_get_user_cache_dir()) + "/koma/";
  auto green_at_1_2 = [](GdkPixbuf *pb) {
    return gdk_pixbuf_get_pixels(pb)[2 * gdk_pixbuf_get_rowstride(pb) +
                                     gdk_pixbuf_get_n_channels(pb) + 1];
  };
  px_dot(px_cnvs, 1, 2, 10, 20, 30);
  ASSERT_EQ(chdir(gone.c_str()), 0);
  g_rmdir(gone.c_str());  // no file can be made in the working directory any more
  active_preview(nullptr, nullptr);
  GdkPixbuf *shown = gtk_image_get_pixbuf(GTK_IMAGE(find_widget(preview_window, GTK_TYPE_IMAGE)));
  ASSERT_TRUE(shown);
  EXPECT_EQ(green_at_1_2(shown), 20);
  run(cb_export_png, "エクスポート PNG", png);
  enter_test_workdir();
  GdkPixbuf *written = gdk_pixbuf_new_from_file(png.c_str(), nullptr);
  ASSERT_TRUE(written);
  EXPECT_EQ(green_at_1_2(written), 20);
  g_object_unref(written);
  for (const char *name : {".px_tmp000001.bmp", ".px_tmp100001.bmp"})
    EXPECT_EQ(read_file(cache + name).size(), 54u + 4 * 64 * 64) << name;
}
