#include "app/menu.h"

#include <gdk/gdkkeysyms.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "files/size_dialogs.h"
#include "support/gui.h"
#include "support/workdir.h"

namespace {
std::vector<GtkWidget *> children(GtkWidget *w) {
  GList *l = gtk_container_get_children(GTK_CONTAINER(w));
  std::vector<GtkWidget *> v;
  for (GList *i = l; i; i = i->next) v.push_back(GTK_WIDGET(i->data));
  g_list_free(l);
  return v;
}

std::vector<GtkWidget *> menus() { return children(children(children(window)[0])[0]); }
GtkWidget *entry(int menu, int n) {
  return children(gtk_menu_item_get_submenu(GTK_MENU_ITEM(menus()[menu])))[n];
}

// A menu's entries as text: "-" a tear-off, "|" a separator, else the label.
std::string entries(GtkWidget *item) {
  std::string s;
  for (GtkWidget *e : children(gtk_menu_item_get_submenu(GTK_MENU_ITEM(item))))
    s += GTK_IS_TEAROFF_MENU_ITEM(e)     ? "- "
         : GTK_IS_SEPARATOR_MENU_ITEM(e) ? "| "
         : std::string(gtk_label_get_label(GTK_LABEL(gtk_bin_get_child(GTK_BIN(e))))) + " ";
  return s;
}

void key(guint keyval, int mods) { send_key(window, keyval, GdkModifierType(mods)); }
void answer(GtkResponseType r) {
  answer_next_dialog([r](GtkWidget *w) { gtk_dialog_response(GTK_DIALOG(w), r); });
}
}  // namespace

using Menu = GuiTest;

TEST_F(Menu, BarHoldsTheFourMenusInOrder) {
  std::string titles;
  for (GtkWidget *m : menus()) titles += gtk_label_get_label(GTK_LABEL(gtk_bin_get_child(GTK_BIN(m))));
  EXPECT_EQ(titles, "ファイル(_F)編集(_E)ツール(_T)表示(_V)");
  EXPECT_EQ(entries(menus()[0]), "- 新規(_N) 開く(_O) 保存(_S) 名前を付けて保存(_A) エクスポート(_E) | 終了(_Q) ");
  EXPECT_EQ(entries(menus()[1]), "- 取り消す(_U) やり直す(_R) ");
  EXPECT_EQ(entries(menus()[2]), "- スポイト 点 線 正方形 長方形 円 楕円 塗り ");
  EXPECT_EQ(entries(menus()[3]), "- スケールの変更 ツールバー カラーパレット プレビュー ");
  EXPECT_EQ(entries(entry(0, 5)),
            "BMPファイルとして保存(_B) PNGファイルとして保存(_P) JPEGファイルとして保存(_J) ");
  gchar *stock = nullptr;
  g_object_get(gtk_image_menu_item_get_image(GTK_IMAGE_MENU_ITEM(entry(0, 5))), "stock", &stock, nullptr);
  EXPECT_STREQ(stock, "gtk-sort-ascending");
  g_free(stock);
}

TEST_F(Menu, AcceleratorsRunTheFileCommands) {
  PrintCapture out;
  answer_next_dialog([](GtkWidget *w) { gtk_widget_destroy(w); });  // New's size dialog
  key(GDK_KEY_n, GDK_CONTROL_MASK);
  answer(GTK_RESPONSE_CANCEL);
  key(GDK_KEY_o, GDK_CONTROL_MASK);
  answer(GTK_RESPONSE_CANCEL);
  key(GDK_KEY_s, GDK_CONTROL_MASK);  // untitled: Save asks for a name
  const std::string path = make_scratch_dir("menu") + "/pic.koma";
  g_strlcpy(now_file_name, path.c_str(), sizeof now_file_name);
  start_fg = 0;
  key(GDK_KEY_s, GDK_CONTROL_MASK);  // filed: written without a chooser
  answer(GTK_RESPONSE_CANCEL);
  key(GDK_KEY_s, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
  key(GDK_KEY_q, GDK_CONTROL_MASK);
  for (auto [trace, times] : {std::pair{"newnew!!\n", 1}, {"open!!\n", 1}, {"saveas!!\n", 2},
                              {"save!!\n", 1}, {"quit\n", 1}})
    EXPECT_EQ(out.count(trace), times) << trace;
  EXPECT_EQ(read_file(path).substr(0, 8), "koma1.0\n");
}

TEST_F(Menu, ToolAndViewItems) {
  PrintCapture out;
  for (int i = 2; i <= 8; i++) {
    tool_line_start = 1;
    gtk_menu_item_activate(GTK_MENU_ITEM(entry(2, i)));
    EXPECT_EQ(std::pair(now_tool, tool_line_start), std::pair(i - 1, 0));
  }
  EXPECT_EQ(out.text(), "menu dot\nmenu line\nmenu box\nmenu box2\nmenu circle\nmenu circle2\nmenu paint\n");
  tool_line_start = 1;
  gtk_menu_item_activate(GTK_MENU_ITEM(entry(2, 1)));  // the picker keeps a pending line
  EXPECT_EQ(std::pair(now_tool, tool_line_start), std::pair(9, 1));
  GtkWidget *bar = tool_bar_window;
  gtk_menu_item_activate(GTK_MENU_ITEM(entry(3, 2)));  // open already: nothing happens
  EXPECT_EQ(tool_bar_window, bar);
  send_delete(tool_bar_window);
  send_delete(cp_main_window);
  for (int i : {2, 3, 4, 4}) gtk_menu_item_activate(GTK_MENU_ITEM(entry(3, i)));
  EXPECT_NE(tool_bar_window, bar);
  EXPECT_EQ(tool_bar_view_fg + color_paret_view_fg + preview_fg, 3);
  EXPECT_EQ(out.count("bmp_write5\n"), 1);  // one preview for two choices
}

TEST_F(Menu, UndoAndRedoFollowTheKeyboardAlsoAfterAScaleChange) {
  EXPECT_FALSE(gtk_widget_is_sensitive(entry(1, 1)));
  click(drawing_area, 15, 15);  // a black dot at cell (1, 1)
  int *cell = px_cnvs + 3 * 65;
  EXPECT_TRUE(gtk_widget_is_sensitive(entry(1, 1)));
  answer_next_dialog([](GtkWidget *w) {
    gtk_entry_set_text(GTK_ENTRY(find_widget(w, GTK_TYPE_ENTRY)), "5");
    gtk_button_clicked(GTK_BUTTON(find_widget(w, GTK_TYPE_BUTTON)));
  });
  cb_change_scale(nullptr, nullptr);
  PrintCapture out;
  key(GDK_KEY_z, GDK_CONTROL_MASK);
  EXPECT_EQ(std::vector<int>(cell, cell + 3), std::vector<int>(3, 255));
  EXPECT_TRUE(gtk_widget_is_sensitive(entry(1, 2)));
  EXPECT_FALSE(gtk_widget_is_sensitive(entry(1, 1)));
  key(GDK_KEY_z, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
  EXPECT_EQ(cell[0], 0);
  EXPECT_EQ(out.text(), "menu undo\nmenu redo\n");
}

// A line waiting for its second click: Ctrl+Z takes back that first click
// and nothing else, with history to undo and without.
TEST_F(Menu, UndoCancelsAPendingShapeFirst) {
  cb_line(nullptr, nullptr);
  for (bool history : {false, true}) {
    if (history) {
      click(drawing_area, 15, 15), click(drawing_area, 45, 15);  // a line, kept for undo
      save_fg = 1;
    }
    const std::vector<int> before(px_cnvs, px_cnvs + 3 * 64 * 64);
    click(drawing_area, 25, 35);
    send_motion(drawing_area, 75, 55);  // its preview
    EXPECT_TRUE(gtk_widget_is_sensitive(entry(1, 1)));
    key(GDK_KEY_z, GDK_CONTROL_MASK);
    EXPECT_EQ(tool_line_start, 0);
    EXPECT_EQ(std::vector<int>(px_cnvs, px_cnvs + 3 * 64 * 64), before);
    EXPECT_EQ(std::vector<int>(px_cnvs_vtl, px_cnvs_vtl + 3 * 64 * 64), std::vector<int>(3 * 64 * 64, 255));
    EXPECT_EQ(save_fg, history ? 1 : 0);
    EXPECT_EQ(gtk_widget_is_sensitive(entry(1, 1)), history);
  }
}
