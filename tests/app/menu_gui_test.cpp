#include "app/menu.h"

#include <gdk/gdkkeysyms.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "canvas/cells.h"
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

GtkWidget *menu_bar() { return children(children(window)[0])[0]; }

// Labels of a menu's entries: "-" for a tear-off, "|" for a separator.
std::string entries(GtkWidget *item) {
  std::string s;
  for (GtkWidget *e : children(gtk_menu_item_get_submenu(GTK_MENU_ITEM(item)))) {
    if (GTK_IS_TEAROFF_MENU_ITEM(e)) s += "-";
    else if (GTK_IS_SEPARATOR_MENU_ITEM(e)) s += "|";
    else s += gtk_label_get_label(GTK_LABEL(gtk_bin_get_child(GTK_BIN(e))));
    s += " ";
  }
  return s;
}

void key(guint keyval, int mods) { send_key(window, keyval, GdkModifierType(mods)); }
void cancel_next() {
  answer_next_dialog([](GtkWidget *w) { gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_CANCEL); });
}
}  // namespace

using Menu = GuiTest;

TEST_F(Menu, BarHoldsTheFourMenusInOrder) {
  std::string titles;
  for (GtkWidget *m : children(menu_bar()))
    titles += gtk_label_get_label(GTK_LABEL(gtk_bin_get_child(GTK_BIN(m)))) + std::string(" ");
  EXPECT_EQ(titles, "ファイル(_F) 編集(_E) ツール(_T) 表示(_V) ");
  const std::vector<GtkWidget *> m = children(menu_bar());
  EXPECT_EQ(entries(m[0]), "- 新規(_N) 開く(_O) 保存(_S) 名前を付けて保存(_A) エクスポート(_E) | 終了(_Q) ");
  EXPECT_EQ(entries(m[1]), "- 取り消す(_U) やり直す(_R) ");
  EXPECT_EQ(entries(m[2]), "- スポイト 点 線 正方形 長方形 円 楕円 塗り ");
  EXPECT_EQ(entries(m[3]), "- スケールの変更 ツールバー カラーパレット プレビュー ");
  GtkWidget *export_item = children(gtk_menu_item_get_submenu(GTK_MENU_ITEM(m[0])))[5];
  EXPECT_EQ(entries(export_item), "BMPファイルとして保存(_B) PNGファイルとして保存(_P) JPEGファイルとして保存(_J) ");
  gchar *stock = nullptr;
  g_object_get(gtk_image_menu_item_get_image(GTK_IMAGE_MENU_ITEM(export_item)), "stock", &stock, nullptr);
  EXPECT_STREQ(stock, "gtk-sort-ascending");
  g_free(stock);
}

TEST_F(Menu, AcceleratorsRunTheFileCommands) {
  PrintCapture out;
  answer_next_dialog([](GtkWidget *w) { gtk_widget_destroy(w); });  // the size dialog of New
  key(GDK_KEY_n, GDK_CONTROL_MASK);
  cancel_next();
  key(GDK_KEY_o, GDK_CONTROL_MASK);
  cancel_next();
  key(GDK_KEY_s, GDK_CONTROL_MASK);  // untitled: Save asks for a name
  const std::string path = make_scratch_dir("menu") + "/pic.koma";
  g_strlcpy(now_file_name, path.c_str(), sizeof now_file_name);
  start_fg = 0;
  key(GDK_KEY_s, GDK_CONTROL_MASK);  // filed: written without a chooser
  cancel_next();
  key(GDK_KEY_s, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
  key(GDK_KEY_q, GDK_CONTROL_MASK);
  EXPECT_EQ(out.count("newnew!!\n"), 1);
  EXPECT_EQ(out.count("open!!\n"), 1);
  EXPECT_EQ(out.count("saveas!!\n"), 2);
  EXPECT_EQ(out.count("save!!\n"), 1);
  EXPECT_EQ(read_file(path).substr(0, 8), "koma1.0\n");
  EXPECT_EQ(out.count("quit\n"), 1);
}

TEST_F(Menu, ToolAndViewItems) {
  PrintCapture out;
  const std::pair<void (*)(GtkMenuItem *, gpointer), int> tools[] = {
      {cb_dot, 1}, {cb_line, 2}, {cb_box, 3}, {cb_box2, 4},
      {cb_circle, 5}, {cb_circle2, 6}, {cb_paint, 7}};
  for (auto [handler, code] : tools) {
    tool_line_start = 1;
    handler(nullptr, nullptr);
    EXPECT_EQ(now_tool, code);
    EXPECT_EQ(tool_line_start, 0);
  }
  EXPECT_EQ(out.text(), "menu dot\nmenu line\nmenu box\nmenu box2\nmenu circle\nmenu circle2\nmenu paint\n");
  tool_line_start = 1;
  cb_spoit(nullptr, nullptr);
  EXPECT_EQ(now_tool, 9);
  EXPECT_EQ(tool_line_start, 1);  // the picker keeps a pending line
  GtkWidget *bar = tool_bar_window;
  active_tool_bar(nullptr, nullptr);
  EXPECT_EQ(tool_bar_window, bar);  // open: nothing happens
  send_delete(tool_bar_window);
  send_delete(cp_main_window);
  active_tool_bar(nullptr, nullptr);
  active_color_palet(nullptr, nullptr);
  EXPECT_NE(tool_bar_window, bar);
  EXPECT_EQ(tool_bar_view_fg + color_paret_view_fg, 2);
  active_preview(nullptr, nullptr);
  GtkWidget *shown = preview_window;
  active_preview(nullptr, nullptr);
  EXPECT_EQ(preview_window, shown);
  EXPECT_EQ(preview_fg, 1);
}

TEST_F(Menu, UndoAndRedoByKeyboardAlsoAfterAScaleChange) {
  GtkWidget *undo = children(gtk_menu_item_get_submenu(GTK_MENU_ITEM(children(menu_bar())[1])))[1];
  EXPECT_FALSE(gtk_widget_is_sensitive(undo));
  click(drawing_area, 15, 15);  // a dot at cell (1, 1)
  cb_paint(nullptr, nullptr);
  click(drawing_area, 35, 35);  // fill the rest
  EXPECT_TRUE(gtk_widget_is_sensitive(undo));
  answer_next_dialog([](GtkWidget *w) {
    gtk_entry_set_text(GTK_ENTRY(find_widget(w, GTK_TYPE_ENTRY)), "5");
    gtk_button_clicked(GTK_BUTTON(find_widget(w, GTK_TYPE_BUTTON)));
  });
  cb_change_scale(nullptr, nullptr);
  pump(20);
  PrintCapture out;
  int c[3];
  key(GDK_KEY_z, GDK_CONTROL_MASK);
  px_get_dot(px_cnvs, 3, 3, c);
  EXPECT_EQ(c[0], 255);  // the fill is taken back
  key(GDK_KEY_z, GDK_CONTROL_MASK);
  px_get_dot(px_cnvs, 1, 1, c);
  EXPECT_EQ(c[0], 255);  // and the dot
  EXPECT_EQ(save_fg, 0);
  key(GDK_KEY_z, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
  px_get_dot(px_cnvs, 1, 1, c);
  EXPECT_EQ(c[0], 0);
  EXPECT_EQ(save_fg, 1);
  EXPECT_EQ(out.text(), "menu undo\nmenu undo\nmenu redo\n");
}
