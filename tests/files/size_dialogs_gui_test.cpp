#include "files/size_dialogs.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "canvas/cells.h"
#include "support/gui.h"
#include "support/gui_dialogs.h"

namespace {
std::string title() { return gtk_window_get_title(GTK_WINDOW(px_main_window)); }

std::vector<int> picture() { return {px_cnvs, px_cnvs + 3 * mv_size_widht * mv_size_heigth}; }

std::string without_exposures(std::string t) {
  const std::string expose = "Main_View_Draw\n";
  for (std::size_t at; (at = t.find(expose)) != std::string::npos;) t.erase(at, expose.size());
  return t;
}

void filed_and_changed() {
  px_dot(px_cnvs, 1, 2, 3, 4, 5);
  px_dot(px_cnvs, 63, 63, 0, 0, 0);
  std::snprintf(now_file_name, sizeof now_file_name, "%s", "/pictures/cat.koma");
  save_fg = 1;
  start_fg = 0;
}

}  // namespace

using SizeDialogs = GuiTest;

TEST_F(SizeDialogs, ApplyStartsAWhiteUntitledCanvasOfTheEnteredSize) {
  filed_and_changed();
  answer_next_dialog([](GtkWidget *d) {
    EXPECT_EQ(d, change_dialog);
    EXPECT_NE(find_widget(d, GTK_TYPE_LABEL, "横："), nullptr);
    EXPECT_NE(find_widget(d, GTK_TYPE_LABEL, "縦："), nullptr);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry_width)), "64");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry_height)), "64");
    size_dialog_apply(d, "32", "16");
  });
  PrintCapture out;
  cb_change();
  EXPECT_EQ(without_exposures(out.text()), "change!!\ncb_change_button\ncb_change5\n");
  EXPECT_EQ(mv_size_widht, 32);
  EXPECT_EQ(mv_size_heigth, 16);
  EXPECT_EQ(picture(), std::vector<int>(3 * 32 * 16, 255));
  EXPECT_EQ(title(), "KOMA ver 1.0:無題.koma  ( 32 x 16 )");
  gint w, h;
  gtk_widget_get_size_request(drawing_area, &w, &h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 160);
  EXPECT_EQ(save_fg, 0);
  EXPECT_EQ(start_fg, 1);
  EXPECT_EQ(change_dialog, nullptr);  // destroyed, and the handle with it
}

TEST_F(SizeDialogs, EntriesAreReadAsDecimalPrefixes) {
  struct Case {
    const char *w, *h;
    int want_w, want_h;
    const char *errors;
  } cases[] = {
      {" 12abc", "+7", 12, 7, ""},
      {"x", "5", 0, 5, "error\nerror\n"},  // no digits: 0, a canvas without cells
      {"2048", "0", 2048, 0, "error\nerror\n"},
  };
  for (const Case &c : cases) {
    answer_next_dialog([&c](GtkWidget *d) { size_dialog_apply(d, c.w, c.h); });
    PrintCapture out;
    cb_change();
    EXPECT_EQ(without_exposures(out.text()),
              std::string(c.errors) + "change!!\ncb_change_button\ncb_change5\n");
    EXPECT_EQ(mv_size_widht, c.want_w);
    EXPECT_EQ(mv_size_heigth, c.want_h);
  }
}

TEST_F(SizeDialogs, SizesOutsideTheBoundKeepTheDialogOpenAndChangeNothing) {
  filed_and_changed();
  const std::vector<int> before = picture();
  const std::pair<const char *, const char *> refused[] = {
      {"-1", "16"}, {"2049", "1"}, {"1", "99999999999"}, {"-99999999999", "1"}};
  int shown = 0;
  answer_next_dialog([&](GtkWidget *d) {
    for (auto [w, h] : refused) {
      size_dialog_apply(d, w, h);
      EXPECT_EQ(change_dialog, d) << w << " x " << h;
      GtkWidget *message = find_widget(d, GTK_TYPE_LABEL, "0〜2048の数を入れてください。");
      if (message && gtk_widget_get_visible(message)) shown++;
    }
    send_delete(d);
  });
  PrintCapture out;
  cb_change();
  EXPECT_EQ(shown, 4);
  EXPECT_EQ(without_exposures(out.text()), "cb_change5\n");
  EXPECT_EQ(mv_size_widht, 64);
  EXPECT_EQ(mv_size_heigth, 64);
  EXPECT_EQ(picture(), before);
  EXPECT_STREQ(now_file_name, "/pictures/cat.koma");
  EXPECT_EQ(save_fg, 1);
  EXPECT_EQ(start_fg, 0);
}

TEST_F(SizeDialogs, DialogClosedByTheWindowManagerStillAppliesLater) {
  answer_next_dialog([](GtkWidget *d) { send_delete(d); });
  cb_change();
  ASSERT_NE(change_dialog, nullptr);
  EXPECT_TRUE(gtk_widget_get_visible(change_dialog));
  EXPECT_EQ(mv_size_widht, 64);
  GtkWidget *first = change_dialog;
  gtk_entry_set_text(GTK_ENTRY(entry_width), "8");
  gtk_entry_set_text(GTK_ENTRY(entry_height), "4");

  // A second dialog names the globals; the first one's Apply acts on its own.
  answer_next_dialog([](GtkWidget *d) { send_delete(d); });
  cb_change();
  GtkWidget *second = change_dialog;
  ASSERT_NE(second, first);
  gtk_button_clicked(GTK_BUTTON(find_widget(first, GTK_TYPE_BUTTON, "gtk-apply")));
  EXPECT_EQ(mv_size_widht, 8);
  EXPECT_EQ(mv_size_heigth, 4);
  EXPECT_EQ(change_dialog, nullptr);
  // The second one still works, with the values it was opened with.
  gtk_button_clicked(GTK_BUTTON(find_widget(second, GTK_TYPE_BUTTON, "gtk-apply")));
  EXPECT_EQ(mv_size_widht, 64);
  EXPECT_EQ(mv_size_heigth, 64);
}

TEST_F(SizeDialogs, ScaleIsClampedAndTheMainWindowRebuilt) {
  struct Case {
    const char *entry;
    int scale;
  } cases[] = {{"1", 2}, {"0", 2}, {"abc", 2}, {"11", 10}, {"25", 10},
               {"5", 5}, {"7x", 7}, {"-3", 2}, {"99999999999", 10}};
  filed_and_changed();
  const std::vector<int> before = picture();
  for (const Case &c : cases) {
    px_set_title(false);  // as after Save As: the rebuilt window shows the size again
    GtkWidget *old_window = window;
    const int old_scale = dot_size;
    answer_next_dialog([&c, old_scale](GtkWidget *d) {
      EXPECT_EQ(d, change_scale_dialog);
      EXPECT_NE(find_widget(d, GTK_TYPE_LABEL, "スケール（２−１０）："), nullptr);
      EXPECT_EQ(std::to_string(old_scale), gtk_entry_get_text(GTK_ENTRY(entry_size)));
      scale_dialog_apply(d, c.entry);
    });
    PrintCapture out;
    EXPECT_EQ(cb_change_scale(), GTK_RESPONSE_NONE);
    EXPECT_EQ(dot_size, c.scale) << c.entry;
    EXPECT_EQ(without_exposures(out.text()),
              "destroy\ncreat_main_view\nsize change:" + std::to_string(c.scale));
    EXPECT_NE(window, old_window);
    EXPECT_EQ(px_main_window, window);
    EXPECT_EQ(title(), "KOMA ver 1.0:/pictures/cat.koma  ( 64 x 64 )");
    gint w, h;
    gtk_widget_get_size_request(drawing_area, &w, &h);
    EXPECT_EQ(w, 64 * c.scale);
    EXPECT_EQ(picture(), before);
    EXPECT_EQ(save_fg, 1);
    EXPECT_EQ(start_fg, 0);
    EXPECT_EQ(change_scale_dialog, nullptr);
  }
}
