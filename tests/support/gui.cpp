#include "support/gui.h"

#include <cstring>

#include <filesystem>

#include <glib/gstdio.h>

#include "app/recovery.h"
#include "app/startup.h"
#include "base/globals.h"
#include "files/snapshot.h"

int (*gui_test_child)(int, char **) = nullptr;

void pump(int ms) {
  for (int round = 0; round < 2; round++, g_usleep(round == 1 ? ms * 1000 : 0)) {
    gdk_flush();
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  }
}

void destroy_all_windows() {
  GList *tops = gtk_window_list_toplevels();
  // Held, since destroying one window can take its dialogs along; popups stay.
  g_list_foreach(tops, [](gpointer w, gpointer) { g_object_ref(w); }, nullptr);
  for (GList *l = tops; l; l = l->next)
    if (GTK_WINDOW(l->data)->type == GTK_WINDOW_TOPLEVEL) gtk_widget_destroy(GTK_WIDGET(l->data));
  g_list_free_full(tops, g_object_unref);
  pump();
}

namespace {
// Builds an event for w's window as the X server would have sent it, lets
// `fill` set its fields and delivers it through the toolkit.
template <typename Fill>
void deliver(GtkWidget *w, GdkEventType type, Fill fill) {
  GdkEvent *ev = gdk_event_new(type);
  ev->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(w)));
  ev->any.send_event = TRUE;
  fill(ev);
  gtk_main_do_event(ev);
  gdk_event_free(ev);
}
}  // namespace

void send_button(GtkWidget *w, GdkEventType type, double x, double y, guint button) {
  deliver(w, type, [&](GdkEvent *ev) {
    ev->button.x = x, ev->button.y = y, ev->button.button = button;
    ev->button.device = gdk_device_get_core_pointer();
  });
}

void click(GtkWidget *w, double x, double y, guint button) {
  send_button(w, GDK_BUTTON_PRESS, x, y, button);
  send_button(w, GDK_BUTTON_RELEASE, x, y, button);
}

void send_motion(GtkWidget *w, double x, double y) {
  deliver(w, GDK_MOTION_NOTIFY, [&](GdkEvent *ev) {
    ev->motion.x = x, ev->motion.y = y, ev->motion.device = gdk_device_get_core_pointer();
  });
}

void send_scroll(GtkWidget *w, GdkScrollDirection direction) {
  deliver(w, GDK_SCROLL, [&](GdkEvent *ev) {
    ev->scroll.direction = direction, ev->scroll.device = gdk_device_get_core_pointer();
  });
}

void send_key(GtkWidget *w, guint keyval, GdkModifierType state) {
  GdkKeymapKey *keys = nullptr;
  gint n = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_default(), keyval, &keys, &n);
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE})
    deliver(w, type, [&](GdkEvent *ev) {
      ev->key.keyval = keyval, ev->key.state = state;
      ev->key.hardware_keycode = n > 0 ? keys[0].keycode : 0;
    });
  g_free(keys);
}

void send_delete(GtkWidget *toplevel) { deliver(toplevel, GDK_DELETE, [](GdkEvent *) {}); }

GdkPixbuf *read_pixels(GtkWidget *w, int x, int y, int width, int height) {
  gdk_flush();
  return gdk_pixbuf_get_from_drawable(nullptr, gtk_widget_get_window(w), nullptr, x, y, 0, 0, width, height);
}

guint32 pixel_at(GtkWidget *w, int x, int y) {
  GdkPixbuf *pb = read_pixels(w, x, y, 1, 1);
  const guchar *p = gdk_pixbuf_get_pixels(pb);
  const guint32 v = guint32(p[0]) << 16 | guint32(p[1]) << 8 | p[2];
  g_object_unref(pb);
  return v;
}

int screen_depth() { return gdk_visual_get_system()->depth; }

void answer_next_dialog(std::function<void(GtkWidget *)> answer) {
  struct Answer {
    std::function<void(GtkWidget *)> fn;
    GList *before;  // held, so that no new window can take the address of one that went
    int ticks;
  };
  auto *a = new Answer{std::move(answer), gtk_window_list_toplevels(), 0};
  g_list_foreach(a->before, [](gpointer w, gpointer) { g_object_ref(w); }, nullptr);
  g_timeout_add(25, [](gpointer data) -> gboolean {
    auto *a = static_cast<Answer *>(data);
    GList *tops = gtk_window_list_toplevels();
    GtkWidget *fresh = nullptr;
    for (GList *l = tops; l && !fresh; l = l->next)
      if (GTK_IS_DIALOG(l->data) && !g_list_find(a->before, l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data)))
        fresh = GTK_WIDGET(l->data);
    g_list_free(tops);
    if (!fresh && ++a->ticks < 400) return TRUE;  // gives up after about 10 s
    if (fresh) a->fn(fresh);
    g_list_free_full(a->before, g_object_unref);
    delete a;
    return FALSE;
  }, a);
}

GtkWidget *find_widget(GtkWidget *w, GType type, const char *label) {
  if (G_TYPE_CHECK_INSTANCE_TYPE(w, type)) {
    GtkWidget *text = GTK_IS_MENU_ITEM(w) ? gtk_bin_get_child(GTK_BIN(w)) : w;
    const char *s = GTK_IS_BUTTON(text) ? gtk_button_get_label(GTK_BUTTON(text))
                    : GTK_IS_LABEL(text) ? gtk_label_get_label(GTK_LABEL(text)) : nullptr;
    if (!label || (s && std::strcmp(s, label) == 0)) return w;
  }
  GtkWidget *found = nullptr;
  if (GTK_IS_CONTAINER(w)) {
    GList *kids = gtk_container_get_children(GTK_CONTAINER(w));
    for (GList *l = kids; l && !found; l = l->next) found = find_widget(GTK_WIDGET(l->data), type, label);
    g_list_free(kids);
  }
  if (!found && GTK_IS_MENU_ITEM(w) && gtk_menu_item_get_submenu(GTK_MENU_ITEM(w)))
    found = find_widget(gtk_menu_item_get_submenu(GTK_MENU_ITEM(w)), type, label);
  return found;
}

void answer(std::vector<std::string> steps, std::size_t i) {
  if (i == steps.size()) return;
  answer_next_dialog([steps, i](GtkWidget *d) {
    answer(steps, i + 1);
    std::string s = steps[i];
    GtkWidget *apply = find_widget(d, GTK_TYPE_BUTTON, "gtk-apply");
    if (GTK_IS_FILE_CHOOSER(d)) {
      const bool gone = s.rfind("gone:", 0) == 0;
      g_print("[%s]", gtk_window_get_title(GTK_WINDOW(d)));
      gtk_file_chooser_set_action(GTK_FILE_CHOOSER(d), GTK_FILE_CHOOSER_ACTION_SAVE);  // takes a path
      gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(d), s.erase(0, gone ? 5 : 0).c_str());
      static std::string folder;  // removed once the chooser has checked it and answered
      if (gone) folder = s.substr(0, s.rfind('/')), g_signal_connect(d, "response", G_CALLBACK(+[](GtkDialog *, gint, gpointer) {
                  g_rmdir(folder.c_str()); }), nullptr);
      gtk_dialog_response(GTK_DIALOG(d), s.empty() ? GTK_RESPONSE_CANCEL : GTK_RESPONSE_ACCEPT);
    } else if (d == change_scale_dialog) {
      gtk_entry_set_text(GTK_ENTRY(entry_size), s.c_str()), gtk_button_clicked(GTK_BUTTON(apply));
    } else if (d == change_dialog) {
      for (std::string size : {std::string("2049 1"), std::string("1 -1"), s}) {
        if (change_dialog != d) break;
        gtk_entry_set_text(GTK_ENTRY(entry_width), size.substr(0, size.find(' ')).c_str());
        gtk_entry_set_text(GTK_ENTRY(entry_height), size.substr(size.find(' ') + 1).c_str());
        gtk_button_clicked(GTK_BUTTON(apply));
        GtkWidget *why = change_dialog ? find_widget(d, GTK_TYPE_LABEL, "0〜2048の数を入れてください。") : nullptr;
        if (why && gtk_widget_get_visible(why)) g_print("[%s]", gtk_label_get_text(GTK_LABEL(why)));
      }
      if (change_dialog) gtk_widget_destroy(d);  // the last size was refused too
    } else {
      EXPECT_EQ(gtk_label_get_text(GTK_LABEL(find_widget(d, GTK_TYPE_LABEL))),
                " \"" + std::string(now_file_name) + "\"\nで変更した内容を閉じる前に保存しますか？");
      if (s == "close") send_delete(d);
      else gtk_button_clicked(GTK_BUTTON(find_widget(d, GTK_TYPE_BUTTON, s.c_str())));
    }
  });
}

bool run_command(std::function<void()> command) {
  static std::function<void()> now;
  static guint after;  // while the command has not ended the main loop
  now = std::move(command);
  g_idle_add([](gpointer) -> gboolean {
    now();
    after = g_idle_add([](gpointer) -> gboolean { return after = 0, gtk_main_quit(), FALSE; }, nullptr);
    return FALSE;
  }, nullptr);
  gtk_main();
  if (after) g_source_remove(after);
  return after != 0;
}

std::string run(const char *item, std::vector<std::string> steps) {
  answer(steps);
  PrintCapture out;
  GtkWidget *menu_item = *item ? find_widget(window, GTK_TYPE_MENU_ITEM, item) : nullptr;
  const bool ended = run_command([menu_item] { menu_item ? gtk_menu_item_activate(GTK_MENU_ITEM(menu_item)) : send_delete(window); });
  std::string t = out.text();
  for (std::size_t at; (at = t.find("Main_View_Draw\n")) != t.npos;) t.erase(at, 15);
  return t + (ended ? "[main loop ended]" : "");
}

void start_editor(std::string document) {
  destroy_all_windows();
  reset_editor_state();
  char prog[] = "koma", *argv[] = {prog, document.data(), nullptr};
  koma_start(document.empty() ? 1 : 2, argv);
  for (int i = 0; i < 300 && !gtk_widget_get_mapped(drawing_area); i++) pump(10);
}

void GuiTest::SetUp() {
  enter_test_workdir();
  // No snapshot of an earlier test in the same program is offered at this start.
  std::filesystem::remove_all(snapshot_folder());
  start_editor();
  pump(30);  // the canvas's first exposure
}

void GuiTest::TearDown() {
  recovery_quit();  // as a quit does: the snapshot and the lock go
  destroy_all_windows();
}
