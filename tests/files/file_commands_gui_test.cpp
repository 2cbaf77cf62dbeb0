#include "files/file_commands.h"

#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/startup.h"
#include "canvas/cells.h"
#include "files/document.h"
#include "files/size_dialogs.h"
#include "support/gui.h"
#include "support/state.h"
#include "support/workdir.h"

namespace {
// Runs a command and returns its traces, without those of the canvas exposures.
template <typename Command> std::string run(Command command) {
  PrintCapture out;
  command(nullptr, nullptr);
  std::string t = out.text();
  for (std::size_t at; (at = t.find("Main_View_Draw\n")) != std::string::npos;) t.erase(at, 15);
  return t;
}
std::string picture() { return koma_format(mv_size_widht, mv_size_heigth, px_cnvs); }
// Name, save_fg and start_fg, the canvas's size request and the title.
std::string state() {
  gint w, h;
  gtk_widget_get_size_request(drawing_area, &w, &h);
  char mid[64];
  snprintf(mid, sizeof mid, "|%d%d|%dx%d|", save_fg, start_fg, w, h);
  return now_file_name + (mid + std::string(gtk_window_get_title(GTK_WINDOW(px_main_window))));
}
void apply(GtkWidget *d, const char *a, const char *b = nullptr) {  // width, height; or scale
  gtk_entry_set_text(GTK_ENTRY(b ? entry_width : entry_size), a);
  if (b) gtk_entry_set_text(GTK_ENTRY(entry_height), b);
  gtk_button_clicked(GTK_BUTTON(find_widget(d, GTK_TYPE_BUTTON, "gtk-apply")));
}
void open_chooser(GtkWidget *chooser, const std::string &path) {
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(chooser)), "開く");
  gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(chooser), path.c_str());
  for (int i = 0; i < 400; i++, pump(25)) {  // it answers once its folder has loaded
    g_autofree gchar *now = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
    if (now && path == now) break;
  }
  gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
}
// Refused sizes keep the dialog open and change nothing; then 32 x 16 is applied.
void size_dialog(GtkWidget *d) {
  const std::string before = picture() + state();
  for (auto [w, h] : {std::pair("-1", "1"), std::pair("2049", "1"), std::pair("1", "3000000000")}) {
    apply(d, w, h);
    GtkWidget *message = find_widget(d, GTK_TYPE_LABEL, "0〜2048の数を入れてください。");
    EXPECT_TRUE(change_dialog == d && message && gtk_widget_get_visible(message)) << w << h;
    EXPECT_EQ(picture() + state(), before) << w << h;
  }
  apply(d, "32", "16");
  EXPECT_EQ(state(), "無題.koma|01|320x160|KOMA ver 1.0:無題.koma  ( 32 x 16 )");
}
void after_prompt(GtkWidget *d) {  // a chooser is cancelled; then comes the size dialog
  if (!GTK_IS_FILE_CHOOSER(d)) return size_dialog(d);
  answer_next_dialog(size_dialog);
  gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL);
}
}  // namespace

using FileCommands = GuiTest;

TEST_F(FileCommands, SaveAsksForANameOnceAndOpenLoadsOnlyWhenAccepted) {
  const std::string path = make_scratch_dir("save") + "/pic.koma", other = path + ".3x2";
  const std::string filed = path + "|00|640x640|KOMA ver 1.0:" + path;
  px_dot(px_cnvs, 3, 4, 10, 20, 30);
  save_fg = 1;
  answer_next_dialog([&](GtkWidget *d) {
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(d)), "名前を付けて保存");
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(d), path.c_str());
    gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
  });
  EXPECT_EQ(run(cb_save), "saveas!!\nmenu save as:" + path + "\n");
  EXPECT_EQ(read_file(path) + state(), picture() + filed);
  px_dot(px_cnvs, 63, 63, 1, 2, 3);
  save_fg = 1;
  EXPECT_EQ(run(cb_save), "save!!\n");  // now without a chooser
  EXPECT_EQ(read_file(path) + state(), picture() + filed);
  answer_next_dialog([](GtkWidget *d) { gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL); });
  EXPECT_EQ(run(cb_saveas), "saveas!!\n");  // cancelled: changes nothing, as checked below

  const std::string doc = "koma1.0\n3 x 2\n1,1,1\n2,2,2\n3,3,3\n4,4,4\n5,5,5\n6,6,6\n";
  write_file(other, "koma1.0\r\n3 x 2\r\n");  // refused: the title stays too
  answer_next_dialog([&](GtkWidget *d) { open_chooser(d, other); });
  EXPECT_EQ(run(cb_open), "open!!\nmenu open:" + other + "\n");
  EXPECT_EQ(picture() + state(), read_file(path) + filed);
  write_file(other, doc);
  answer_next_dialog([](GtkWidget *d) { gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL); });
  EXPECT_EQ(run(cb_open), "open!!\n");
  EXPECT_EQ(picture() + state(), read_file(path) + filed);
  answer_next_dialog([&](GtkWidget *d) { open_chooser(d, other); });
  EXPECT_EQ(run(cb_open), "open!!\nmenu open:" + other + "\n3,2");
  EXPECT_EQ(picture() + state(), doc + other + "|00|30x20|KOMA ver 1.0:" + other + "  ( 3 x 2 )");
}

// New asks about unsaved changes and goes on whatever the answer.
TEST_F(FileCommands, NewPromptsForChangesThenRunsTheSizeDialog) {
  const std::string path = make_scratch_dir("prompt") + "/filed.koma";
  const std::string white = koma_format(32, 16, std::vector<int>(3 * 32 * 16, 255).data());
  const struct { bool changed, filed; const char *button; std::string trace; } cases[] = {
      {false, true, nullptr, ""},
      {true, true, "gtk-yes", "save!!\nYes button was pressed.\n"},
      {true, false, "gtk-yes", "saveas!!\nYes button was pressed.\n"},  // Save As cancelled
      {true, true, "gtk-no", "No button was pressed.\n"},
      {true, true, nullptr, "Another response was recieved.\n"},  // closed by the window manager
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.trace);
    write_file(path, "old");
    px_dot(px_cnvs, 3, 4, 10, 20, 30);
    const std::string drawn = picture();
    snprintf(now_file_name, sizeof now_file_name, "%s", c.filed ? path.c_str() : "無題.koma");
    save_fg = c.changed;
    start_fg = !c.filed;
    answer_next_dialog([&c](GtkWidget *d) {
      if (!c.changed) return size_dialog(d);  // no prompt then
      EXPECT_EQ(" \"" + std::string(now_file_name) + "\"\nで変更した内容を閉じる前に保存しますか？",
                gtk_label_get_text(GTK_LABEL(find_widget(d, GTK_TYPE_LABEL))));
      answer_next_dialog(after_prompt);
      if (c.button) gtk_button_clicked(GTK_BUTTON(find_widget(d, GTK_TYPE_BUTTON, c.button)));
      else send_delete(d);
    });
    EXPECT_EQ(run(cb_new), "newnew!!\n" + c.trace + "change!!\ncb_change_button\ncb_change5\n");
    EXPECT_EQ(read_file(path), c.trace.rfind("save!!", 0) == 0 ? drawn : "old");
    EXPECT_EQ(picture() + state(), white + "無題.koma|01|320x160|KOMA ver 1.0:無題.koma");
  }
}

TEST_F(FileCommands, DocumentNamedOnTheCommandLineKeptAcrossScaleChanges) {
  std::string path = make_scratch_dir("argv") + "/start.koma";
  const std::string doc = "koma1.0\n1 x 2\n9,8,7\n1,2,3\n";
  write_file(path, doc);
  destroy_all_windows();
  reset_editor_state();
  char prog[] = "koma", *argv[] = {prog, path.data(), nullptr};
  koma_start(2, argv);
  EXPECT_EQ(picture() + state(), doc + path + "|00|10x20|KOMA ver 1.0:" + path + "  ( 1 x 2 )");
  save_fg = 1;  // as if changed: the flag must survive the rebuild too
  const std::pair<const char *, int> cases[] = {{"1", 2},   {"0", 2}, {"abc", 2}, {"11", 10},
                                                {"25", 10}, {"5", 5}, {"7x", 7}};
  for (auto [entry, scale] : cases) {
    answer_next_dialog([entry = entry](GtkWidget *d) { apply(d, entry); });
    const std::string n = std::to_string(scale), request = n + "x" + std::to_string(2 * scale);
    EXPECT_EQ(run(cb_change_scale), "destroy\ncreat_main_view\nsize change:" + n);
    EXPECT_EQ(picture() + state(),
              doc + path + "|10|" + request + "|KOMA ver 1.0:" + path + "  ( 1 x 2 )") << entry;
  }
}
