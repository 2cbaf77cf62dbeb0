#include "app/menu.h"

#include <gdk/gdkkeysyms.h>

#include "app/export_commands.h"
#include "app/file_commands.h"
#include "app/recovery.h"
#include "app/scale_dialog.h"
#include "base/globals.h"
#include "palette/color22.h"
#include "preview/preview.h"
#include "tools/tool_bar.h"
#include "tools/tool_select.h"
#include "tools/undo.h"

namespace {

struct Entry {
  const char *label;  // mnemonic label; null for a separator
  GCallback handler;
  guint key;          // accelerator key, 0 for none
  GdkModifierType mods;
};

constexpr auto kCtrl = GDK_CONTROL_MASK;
constexpr auto kShiftCtrl = GdkModifierType(GDK_SHIFT_MASK | GDK_CONTROL_MASK);

// A title item with its menu, which starts with a tear-off item.
GtkWidget *add_menu(GtkWidget *bar, const char *title, bool tearoff) {
  GtkWidget *item = gtk_menu_item_new_with_mnemonic(title);
  gtk_menu_shell_append(GTK_MENU_SHELL(bar), item);
  GtkWidget *menu = gtk_menu_new();
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), menu);
  if (tearoff) gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_tearoff_menu_item_new());
  return menu;
}

GtkWidget *add_item(GtkWidget *menu, GtkWidget *item, const Entry &e, GtkAccelGroup *accel) {
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
  if (e.key) gtk_widget_add_accelerator(item, "activate", accel, e.key, e.mods, GTK_ACCEL_VISIBLE);
  if (e.handler) g_signal_connect(item, "activate", e.handler, nullptr);
  return item;
}

void add_entries(GtkWidget *menu, const Entry *entries, int n, GtkAccelGroup *accel) {
  for (int i = 0; i < n; i++)
    add_item(menu, gtk_menu_item_new_with_mnemonic(entries[i].label), entries[i], accel);
}

// Items whose sensitivity follows what can be undone and redone; null while
// there is no menu bar.
GtkWidget *undo_item = nullptr;
GtkWidget *redo_item = nullptr;

void update_undo_items() {
  // Undo also takes back a shape waiting for its second click.
  if (undo_item) gtk_widget_set_sensitive(undo_item, px_can_undo());
  if (redo_item) gtk_widget_set_sensitive(redo_item, px_can_redo());
}

void cb_dot(GtkMenuItem *, gpointer) { px_select_tool(kToolDot, "menu dot\n"); }
void cb_line(GtkMenuItem *, gpointer) { px_select_tool(kToolLine, "menu line\n"); }
void cb_box(GtkMenuItem *, gpointer) { px_select_tool(kToolSquare, "menu box\n"); }
void cb_box2(GtkMenuItem *, gpointer) { px_select_tool(kToolRect, "menu box2\n"); }
void cb_circle(GtkMenuItem *, gpointer) { px_select_tool(kToolCircle, "menu circle\n"); }
void cb_circle2(GtkMenuItem *, gpointer) { px_select_tool(kToolEllipse, "menu circle2\n"); }
void cb_paint(GtkMenuItem *, gpointer) { px_select_tool(kToolFill, "menu paint\n"); }
void cb_spoit(GtkMenuItem *, gpointer) { px_select_tool(kToolPicker, nullptr); }

void active_tool_bar(GtkMenuItem *, gpointer) {
  if (tool_bar_view_fg) return;
  create_tool_bar();
  tool_bar_view_fg = 1;
}

void active_color_palet(GtkMenuItem *, gpointer) {
  if (color_paret_view_fg) return;
  create_color_palet();
  color_paret_view_fg = 1;
}

void cb_undo(GtkMenuItem *, gpointer) {
  g_print("menu undo\n");
  px_undo();
  if (save_fg == 0) recovery_discard();  // back at the saved picture
}

void cb_redo(GtkMenuItem *, gpointer) {
  g_print("menu redo\n");
  px_redo();
  if (save_fg == 0) recovery_discard();  // back at the saved picture
}
}  // namespace

void active_preview(GtkMenuItem *, gpointer) {
  if (preview_fg) return;
  preview();
  preview_fg = 1;
}

GtkWidget *create_menu() {
  GtkWidget *bar = gtk_menu_bar_new();
  GtkAccelGroup *accel = gtk_accel_group_new();
  gtk_window_add_accel_group(GTK_WINDOW(window), accel);
  g_object_unref(accel);  // the window keeps it

  GtkWidget *file = add_menu(bar, "ファイル(_F)", true);
  const Entry file_entries[] = {
      {"新規(_N)", G_CALLBACK(cb_new), GDK_KEY_n, kCtrl},
      {"開く(_O)", G_CALLBACK(cb_open), GDK_KEY_o, kCtrl},
      {"保存(_S)", G_CALLBACK(cb_save), GDK_KEY_s, kCtrl},
      {"名前を付けて保存(_A)", G_CALLBACK(cb_saveas), GDK_KEY_s, kShiftCtrl},
  };
  add_entries(file, file_entries, G_N_ELEMENTS(file_entries), accel);
  GtkWidget *export_item = gtk_image_menu_item_new_with_mnemonic("エクスポート(_E)");
  gtk_image_menu_item_set_image(GTK_IMAGE_MENU_ITEM(export_item),
                                gtk_image_new_from_stock("gtk-sort-ascending", GTK_ICON_SIZE_MENU));
  gtk_menu_shell_append(GTK_MENU_SHELL(file), export_item);
  GtkWidget *exports = gtk_menu_new();
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(export_item), exports);
  // The export items get no accelerator of their own.
  const Entry export_entries[] = {
      {"BMPファイルとして保存(_B)", G_CALLBACK(cb_export_bmp), 0, GdkModifierType(0)},
      {"PNGファイルとして保存(_P)", G_CALLBACK(cb_export_png), 0, GdkModifierType(0)},
      {"JPEGファイルとして保存(_J)", G_CALLBACK(cb_export_jpeg), 0, GdkModifierType(0)},
  };
  add_entries(exports, export_entries, G_N_ELEMENTS(export_entries), accel);
  gtk_menu_shell_append(GTK_MENU_SHELL(file), gtk_separator_menu_item_new());
  const Entry quit_entry = {"終了(_Q)", G_CALLBACK(cb_quit), GDK_KEY_q, kCtrl};
  add_entries(file, &quit_entry, 1, accel);

  GtkWidget *edit = add_menu(bar, "編集(_E)", true);
  const Entry edit_entries[] = {
      {"取り消す(_U)", G_CALLBACK(cb_undo), GDK_KEY_z, kCtrl},
      {"やり直す(_R)", G_CALLBACK(cb_redo), GDK_KEY_z, kShiftCtrl},
  };
  undo_item = add_item(edit, gtk_menu_item_new_with_mnemonic(edit_entries[0].label),
                       edit_entries[0], accel);
  redo_item = add_item(edit, gtk_menu_item_new_with_mnemonic(edit_entries[1].label),
                       edit_entries[1], accel);
  g_object_add_weak_pointer(G_OBJECT(undo_item), reinterpret_cast<gpointer *>(&undo_item));
  g_object_add_weak_pointer(G_OBJECT(redo_item), reinterpret_cast<gpointer *>(&redo_item));
  undo_set_listener(update_undo_items);
  update_undo_items();

  GtkWidget *tools = add_menu(bar, "ツール(_T)", true);
  const Entry tool_entries[] = {
      {"スポイト", G_CALLBACK(cb_spoit), 0, GdkModifierType(0)},
      {"点", G_CALLBACK(cb_dot), 0, GdkModifierType(0)},
      {"線", G_CALLBACK(cb_line), 0, GdkModifierType(0)},
      {"正方形", G_CALLBACK(cb_box), 0, GdkModifierType(0)},
      {"長方形", G_CALLBACK(cb_box2), 0, GdkModifierType(0)},
      {"円", G_CALLBACK(cb_circle), 0, GdkModifierType(0)},
      {"楕円", G_CALLBACK(cb_circle2), 0, GdkModifierType(0)},
      {"塗り", G_CALLBACK(cb_paint), 0, GdkModifierType(0)},
  };
  add_entries(tools, tool_entries, G_N_ELEMENTS(tool_entries), accel);

  GtkWidget *view = add_menu(bar, "表示(_V)", true);
  const Entry view_entries[] = {
      {"スケールの変更", G_CALLBACK(cb_change_scale), 0, GdkModifierType(0)},
      {"ツールバー", G_CALLBACK(active_tool_bar), 0, GdkModifierType(0)},
      {"カラーパレット", G_CALLBACK(active_color_palet), 0, GdkModifierType(0)},
      {"プレビュー", G_CALLBACK(active_preview), 0, GdkModifierType(0)},
  };
  add_entries(view, view_entries, G_N_ELEMENTS(view_entries), accel);
  return bar;
}
