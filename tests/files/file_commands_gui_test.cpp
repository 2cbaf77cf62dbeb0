#include "files/file_commands.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "canvas/cells.h"
#include "files/document.h"
#include "support/gui.h"
#include "support/gui_dialogs.h"
#include "support/state.h"
#include "support/workdir.h"

namespace {
const std::string kPrefix = "KOMA ver 1.0:";
const std::string kUntitledPrompt = " \"無題.koma\"\nで変更した内容を閉じる前に保存しますか？";

// The traces of a command, without those of the canvas exposures that
// dialogs cause when they cover it.
std::string traces(const PrintCapture &out) {
  std::string t = out.text();
  const std::string expose = "Main_View_Draw\n";
  for (std::size_t at; (at = t.find(expose)) != std::string::npos;) t.erase(at, expose.size());
  return t;
}

std::string title() { return gtk_window_get_title(GTK_WINDOW(px_main_window)); }
std::string picture_bytes() { return koma_format(mv_size_widht, mv_size_heigth, px_cnvs); }

void draw_something() {
  px_dot(px_cnvs, 3, 4, 10, 20, 30);
  save_fg = 1;
}

void make_filed(const std::string &path) {
  std::snprintf(now_file_name, sizeof now_file_name, "%s", path.c_str());
  start_fg = 0;
}

// The dialog's buttons as "stock id=response", in the order they were added.
std::vector<std::string> action_buttons(GtkWidget *dialog) {
  std::vector<std::string> labels;
  GList *kids = gtk_container_get_children(
      GTK_CONTAINER(gtk_dialog_get_action_area(GTK_DIALOG(dialog))));
  for (GList *l = kids; l; l = l->next)
    if (GTK_IS_BUTTON(l->data))  // dialogs pack their buttons from the end
      labels.insert(labels.begin(),
                    std::string(gtk_button_get_label(GTK_BUTTON(l->data))) + "=" +
                        std::to_string(gtk_dialog_get_response_for_widget(
                            GTK_DIALOG(dialog), GTK_WIDGET(l->data))));
  g_list_free(kids);
  return labels;
}

void respond(GtkWidget *dialog, gint response) {
  gtk_dialog_response(GTK_DIALOG(dialog), response);
}

bool all_white() {
  for (int i = 0; i < 3 * mv_size_widht * mv_size_heigth; i++)
    if (px_cnvs[i] != 255) return false;
  return true;
}

// Answers the prompt with `response`, after arranging `next` for the dialog
// that follows it; keeps the prompt's label in `label`.
void answer_prompt(gint response, std::function<void(GtkWidget *)> next = {},
                   std::string *label = nullptr) {
  answer_next_dialog([response, next, label](GtkWidget *d) {
    EXPECT_FALSE(GTK_IS_FILE_CHOOSER(d));
    EXPECT_EQ(action_buttons(d), (std::vector<std::string>{"gtk-no=-9", "gtk-yes=-8"}));
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(d)), GTK_WINDOW(px_main_window));
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(d)));
    if (label) *label = dialog_label(d);
    if (next) answer_next_dialog(next);
    if (response == GTK_RESPONSE_DELETE_EVENT)
      send_delete(d);
    else
      respond(d, response);
  });
}

void close_size_dialog(GtkWidget *d) {
  EXPECT_EQ(d, change_dialog);
  send_delete(d);
}

void cancel_chooser(GtkWidget *d) {
  EXPECT_TRUE(GTK_IS_FILE_CHOOSER(d));
  respond(d, GTK_RESPONSE_CANCEL);
}
}  // namespace

using FileCommands = GuiTest;

TEST_F(FileCommands, SaveAsThenSave) {
  const std::string path = make_scratch_dir("saveas") + "/pic.koma";
  draw_something();
  answer_next_dialog([&](GtkWidget *d) {
    ASSERT_TRUE(GTK_IS_FILE_CHOOSER(d));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(d)), "名前を付けて保存");
    EXPECT_EQ(gtk_file_chooser_get_action(GTK_FILE_CHOOSER(d)), GTK_FILE_CHOOSER_ACTION_SAVE);
    EXPECT_TRUE(gtk_file_chooser_get_do_overwrite_confirmation(GTK_FILE_CHOOSER(d)));
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(d)), GTK_WINDOW(px_main_window));
    EXPECT_EQ(action_buttons(d), (std::vector<std::string>{"gtk-cancel=-6", "gtk-save-as=-3"}));
    EXPECT_EQ(dialog_entry(d), "無題.koma");
    chooser_accept(d, path);
  });
  PrintCapture out;
  cb_saveas();
  EXPECT_EQ(traces(out), "saveas!!\nmenu save as:" + path + "\n");
  EXPECT_EQ(read_file(path), picture_bytes());
  EXPECT_EQ(title(), kPrefix + path);
  EXPECT_EQ(std::string(now_file_name), path);
  EXPECT_EQ(save_fg, 0);
  EXPECT_EQ(start_fg, 0);

  px_dot(px_cnvs, 63, 63, 1, 2, 3);
  save_fg = 1;
  out.clear();
  cb_save();  // a filed document is written without a chooser
  EXPECT_EQ(traces(out), "save!!\n");
  EXPECT_EQ(read_file(path), picture_bytes());
  EXPECT_EQ(title(), kPrefix + path);
  EXPECT_EQ(save_fg, 0);
}

TEST_F(FileCommands, SaveOfAnUntitledPictureAsksForAName) {
  draw_something();
  answer_next_dialog(cancel_chooser);
  PrintCapture out;
  cb_save();
  EXPECT_EQ(traces(out), "saveas!!\n");
  EXPECT_EQ(save_fg, 1);
  EXPECT_EQ(start_fg, 1);
  EXPECT_STREQ(now_file_name, "無題.koma");
}

TEST_F(FileCommands, FailedSaveAsAdoptsNeitherNameNorTitle) {
  // A socket: the chooser offers to replace it, the write then fails.
  const std::string path = make_scratch_dir("saveas-fails") + "/socket.koma";
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr = {};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
  draw_something();
  const std::string old_title = title();
  answer_next_dialog([&](GtkWidget *d) {
    answer_next_dialog([](GtkWidget *confirm) { respond(confirm, GTK_RESPONSE_ACCEPT); });
    chooser_accept(d, path);
  });
  PrintCapture out;
  cb_saveas();
  close(fd);
  EXPECT_EQ(traces(out), "saveas!!\nmenu save as:" + path + "\n");
  EXPECT_STREQ(px_status_text, "error... 保存できませんでした。");
  EXPECT_STREQ(now_file_name, "無題.koma");
  EXPECT_EQ(title(), old_title);
  EXPECT_EQ(save_fg, 1);
  EXPECT_EQ(start_fg, 1);
}

TEST_F(FileCommands, OpenAcceptedRefusedAndCancelled) {
  const std::string dir = make_scratch_dir("open");
  const std::string path = dir + "/three.koma";
  write_file(path, "koma1.0\n3 x 2\n1,1,1\n2,2,2\n3,3,3\n4,4,4\n5,5,5\n6,6,6\n");
  answer_next_dialog([&](GtkWidget *d) {
    ASSERT_TRUE(GTK_IS_FILE_CHOOSER(d));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(d)), "開く");
    EXPECT_EQ(gtk_file_chooser_get_action(GTK_FILE_CHOOSER(d)), GTK_FILE_CHOOSER_ACTION_OPEN);
    EXPECT_EQ(action_buttons(d), (std::vector<std::string>{"gtk-cancel=-6", "gtk-open=-3"}));
    chooser_accept(d, path);
  });
  PrintCapture out;
  cb_open();
  EXPECT_EQ(traces(out), "open!!\nmenu open:" + path + "\n3,2");
  EXPECT_EQ(mv_size_widht, 3);
  EXPECT_EQ(mv_size_heigth, 2);
  EXPECT_EQ(title(), kPrefix + path + "  ( 3 x 2 )");
  gint w, h;
  gtk_widget_get_size_request(drawing_area, &w, &h);
  EXPECT_EQ(w, 30);
  EXPECT_EQ(h, 20);
  int rgb[3];
  px_get_dot(px_cnvs, 2, 1, rgb);
  EXPECT_EQ(rgb[0], 6);
  EXPECT_EQ(save_fg, 0);
  EXPECT_EQ(start_fg, 0);

  // A file that is no document: everything stays, the title included.
  const std::string foreign = dir + "/notes.txt";
  write_file(foreign, "koma1.0\r\n3 x 2\r\n");
  const std::string before = picture_bytes();
  answer_next_dialog([&](GtkWidget *d) { chooser_accept(d, foreign); });
  out.clear();
  cb_open();
  EXPECT_EQ(traces(out), "open!!\nmenu open:" + foreign + "\n");
  EXPECT_STREQ(px_status_text, "error... KOMAのファイルではありません。");
  EXPECT_EQ(picture_bytes(), before);
  EXPECT_EQ(title(), kPrefix + path + "  ( 3 x 2 )");
  EXPECT_EQ(std::string(now_file_name), path);

  answer_next_dialog(cancel_chooser);
  out.clear();
  cb_open();
  EXPECT_EQ(traces(out), "open!!\n");
  EXPECT_EQ(picture_bytes(), before);
  EXPECT_EQ(std::string(now_file_name), path);
}

TEST_F(FileCommands, NewWithoutChangesGoesStraightToTheSizeDialog) {
  answer_next_dialog([](GtkWidget *d) {
    EXPECT_EQ(d, change_dialog);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry_width)), "64");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry_height)), "64");
    size_dialog_apply(d, "32", "16");
  });
  PrintCapture out;
  cb_new();
  EXPECT_EQ(traces(out), "newnew!!\nchange!!\ncb_change_button\ncb_change5\n");
  EXPECT_EQ(mv_size_widht, 32);
  EXPECT_EQ(mv_size_heigth, 16);
  EXPECT_EQ(title(), "KOMA ver 1.0:無題.koma");
  gint w, h;
  gtk_widget_get_size_request(drawing_area, &w, &h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 160);
  EXPECT_EQ(save_fg, 0);
  EXPECT_EQ(start_fg, 1);
}

TEST_F(FileCommands, NewWithChangesPromptsFirstThenGoesOnWhateverTheAnswer) {
  struct Case {
    gint answer;
    const char *trace;
  } cases[] = {
      {GTK_RESPONSE_NO, "No button was pressed.\n"},
      {GTK_RESPONSE_DELETE_EVENT, "Another response was recieved.\n"},
  };
  for (const Case &c : cases) {
    draw_something();
    std::string label;
    answer_prompt(c.answer, close_size_dialog, &label);
    PrintCapture out;
    cb_new();
    EXPECT_EQ(label, kUntitledPrompt);
    EXPECT_EQ(traces(out), std::string("newnew!!\n") + c.trace + "cb_change5\n");
    // The size dialog was closed: the old size, but a white untitled picture.
    EXPECT_EQ(mv_size_widht, 64);
    EXPECT_TRUE(all_white());
    EXPECT_EQ(save_fg, 0);
    EXPECT_EQ(start_fg, 1);
    EXPECT_EQ(title(), "KOMA ver 1.0:無題.koma");
  }
}

TEST_F(FileCommands, YesOnAFiledDocumentWritesItWithoutAChooser) {
  const std::string path = make_scratch_dir("prompt-yes") + "/filed.koma";
  write_file(path, "old");
  make_filed(path);
  draw_something();
  const std::string drawn = picture_bytes();
  answer_prompt(GTK_RESPONSE_YES, [](GtkWidget *d) {
    EXPECT_FALSE(GTK_IS_FILE_CHOOSER(d));
    close_size_dialog(d);
  });
  PrintCapture out;
  cb_new();
  EXPECT_EQ(traces(out), "newnew!!\nsave!!\nYes button was pressed.\ncb_change5\n");
  EXPECT_EQ(read_file(path), drawn);
  EXPECT_TRUE(all_white());
}

TEST_F(FileCommands, YesOnAnUntitledPictureOpensSaveAsAndCancellingGoesOn) {
  draw_something();
  answer_prompt(GTK_RESPONSE_YES, [](GtkWidget *chooser) {
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(chooser)), "名前を付けて保存");
    answer_next_dialog(close_size_dialog);
    cancel_chooser(chooser);
  });
  PrintCapture out;
  cb_new();
  EXPECT_EQ(traces(out), "newnew!!\nsaveas!!\nYes button was pressed.\ncb_change5\n");
  EXPECT_TRUE(all_white());
  EXPECT_EQ(save_fg, 0);
}

TEST_F(FileCommands, YesWithSaveAsAcceptedThenOpenCancelled) {
  const std::string path = make_scratch_dir("prompt-saveas") + "/kept.koma";
  draw_something();
  const std::string drawn = picture_bytes();
  answer_prompt(GTK_RESPONSE_YES, [&path](GtkWidget *chooser) {
    answer_next_dialog(cancel_chooser);  // the Open chooser that follows
    chooser_accept(chooser, path);
  });
  PrintCapture out;
  cb_open();
  EXPECT_EQ(traces(out), "open!!\nsaveas!!\nmenu save as:" + path + "\nYes button was pressed.\n");
  EXPECT_EQ(read_file(path), drawn);
  EXPECT_EQ(std::string(now_file_name), path);
  EXPECT_EQ(title(), kPrefix + path);
  EXPECT_EQ(save_fg, 0);
  EXPECT_EQ(start_fg, 1);  // the prompt always ends untitled

  // So the next Save asks again, preset with that path.
  std::string preset;
  answer_next_dialog([&preset](GtkWidget *d) {
    preset = dialog_entry(d);
    cancel_chooser(d);
  });
  out.clear();
  cb_save();
  EXPECT_EQ(traces(out), "saveas!!\n");
  EXPECT_EQ(preset, path);
}

TEST_F(FileCommands, NoOrClosedPromptSavesNothing) {
  const std::string path = make_scratch_dir("prompt-no") + "/filed.koma";
  write_file(path, "old");
  struct Case {
    gint answer;
    const char *trace;
  } cases[] = {
      {GTK_RESPONSE_NO, "No button was pressed.\n"},
      {GTK_RESPONSE_DELETE_EVENT, "Another response was recieved.\n"},
  };
  for (const Case &c : cases) {
    make_filed(path);
    draw_something();
    const std::string drawn = picture_bytes();
    answer_prompt(c.answer, cancel_chooser);
    PrintCapture out;
    cb_open();
    EXPECT_EQ(traces(out), std::string("open!!\n") + c.trace);
    EXPECT_EQ(read_file(path), "old");
    EXPECT_EQ(picture_bytes(), drawn);
    EXPECT_EQ(std::string(now_file_name), path);
    EXPECT_EQ(save_fg, 1);
    EXPECT_EQ(start_fg, 1);
  }
}

TEST_F(FileCommands, QuitAndCloseRequestOfferToSaveThenEnd) {
  for (bool by_close : {false, true}) {
    draw_something();
    answer_prompt(GTK_RESPONSE_NO);
    PrintCapture out;
    g_idle_add(by_close ? G_SOURCE_FUNC(+[](gpointer) -> gboolean {
                 send_delete(window);
                 return FALSE;
               })
                        : G_SOURCE_FUNC(+[](gpointer) -> gboolean {
                            cb_quit();
                            return FALSE;
                          }),
               nullptr);
    gtk_main();  // returns only once the quit ended it
    EXPECT_EQ(traces(out), "No button was pressed.\nquit\n");
  }
}

TEST_F(FileCommands, PromptLabelOfAVeryLongNameIsCutBetweenCharacters) {
  std::string name;
  while (name.size() + 3 < kFileNameSize) name += "あ";
  std::snprintf(now_file_name, sizeof now_file_name, "%s", name.c_str());
  save_fg = 1;
  std::string label;
  answer_prompt(GTK_RESPONSE_NO, {}, &label);
  yesno_dialog();
  EXPECT_LT(label.size(), std::size_t(kTextBufSize));
  EXPECT_TRUE(g_utf8_validate(label.c_str(), -1, nullptr));
  EXPECT_EQ(label.rfind(" \"あああ", 0), 0u);
  const std::string tail = "\"\nで変更した内容を閉じる前に保存しますか？";
  EXPECT_EQ(label.substr(label.size() - tail.size()), tail);
}

TEST_F(FileCommands, DocumentNamedOnTheCommandLine) {
  const std::string dir = make_scratch_dir("argv");
  const std::string good = dir + "/start.koma", bad = dir + "/start.txt";
  write_file(good, "koma1.0\n2 x 3\n9,8,7\n");
  write_file(bad, "not a picture\n");
  struct Case {
    std::string arg;
    std::string title;
    const char *status;
  } cases[] = {
      {good, kPrefix + good + "  ( 2 x 3 )", "error... ファイルが不完全です。残りは白にしました。"},
      {bad, "KOMA ver 1.0:無題.koma  ( 64 x 64 )", "error... KOMAのファイルではありません。"},
  };
  for (const Case &c : cases) {
    destroy_all_windows();
    reset_editor_state();
    std::vector<char> arg(c.arg.begin(), c.arg.end());
    arg.push_back('\0');
    char prog[] = "koma";
    char *argv[] = {prog, arg.data(), nullptr};
    koma_start(2, argv);
    pump(20);
    EXPECT_EQ(title(), c.title);
    EXPECT_STREQ(px_status_text, c.status);
    const bool loaded = c.arg == good;
    EXPECT_EQ(mv_size_widht, loaded ? 2 : 64);
    EXPECT_EQ(std::string(now_file_name), loaded ? good : "無題.koma");
    EXPECT_EQ(start_fg, loaded ? 0 : 1);
    EXPECT_EQ(save_fg, 0);
  }
}
