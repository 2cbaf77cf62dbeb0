#include "support/gui.h"

#include <cstring>

#include <filesystem>

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
      if (!g_list_find(a->before, l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data))) fresh = GTK_WIDGET(l->data);
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

void GuiTest::SetUp() {
  enter_test_workdir();
  destroy_all_windows();
  reset_editor_state();
  // No snapshot of an earlier test in the same program is offered at this start.
  std::filesystem::remove_all(snapshot_folder());
  char prog[] = "koma", *argv[] = {prog, nullptr};
  koma_start(1, argv);
  // Until the canvas is on the screen and has had its first exposure.
  for (int i = 0; i < 100 && !gtk_widget_get_mapped(drawing_area); i++) pump(10);
  pump(30);
}

void GuiTest::TearDown() {
  recovery_quit();  // as a quit does: the snapshot and the lock go
  destroy_all_windows();
}
