#include "support/gui.h"

#include <cstring>
#include <deque>

#include "app/globals.h"
#include "app/startup.h"
#include "support/state.h"
#include "support/workdir.h"

void pump(int ms) {
  for (int round = 0; round < 2; round++) {
    gdk_flush();
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    if (ms > 0 && round == 0) g_usleep(ms * 1000);
  }
}

void destroy_all_windows() {
  GList *tops = gtk_window_list_toplevels();
  // Held, since destroying one window can take its dialogs along; popups (the
  // toolkit's own tooltip windows among them) stay.
  g_list_foreach(tops, [](gpointer w, gpointer) { g_object_ref(w); }, nullptr);
  for (GList *l = tops; l; l = l->next) {
    GtkWindowType type;
    g_object_get(l->data, "type", &type, nullptr);
    if (type == GTK_WINDOW_TOPLEVEL) gtk_widget_destroy(GTK_WIDGET(l->data));
  }
  g_list_free_full(tops, g_object_unref);
  pump();
}

namespace {
// An event for w's window, as the X server would have sent it.
GdkEvent *event_for(GtkWidget *w, GdkEventType type) {
  GdkEvent *ev = gdk_event_new(type);
  ev->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(w)));
  ev->any.send_event = TRUE;
  return ev;
}

void deliver(GdkEvent *ev) {
  gtk_main_do_event(ev);
  gdk_event_free(ev);
}
}  // namespace

void send_button(GtkWidget *w, GdkEventType type, double x, double y, guint button) {
  GdkEvent *ev = event_for(w, type);
  ev->button.x = x;
  ev->button.y = y;
  ev->button.button = button;
  ev->button.device = gdk_device_get_core_pointer();
  deliver(ev);
}

void click(GtkWidget *w, double x, double y, guint button) {
  send_button(w, GDK_BUTTON_PRESS, x, y, button);
  send_button(w, GDK_BUTTON_RELEASE, x, y, button);
}

void send_motion(GtkWidget *w, double x, double y) {
  GdkEvent *ev = event_for(w, GDK_MOTION_NOTIFY);
  ev->motion.x = x;
  ev->motion.y = y;
  ev->motion.device = gdk_device_get_core_pointer();
  deliver(ev);
}

void send_scroll(GtkWidget *w, GdkScrollDirection direction) {
  GdkEvent *ev = event_for(w, GDK_SCROLL);
  ev->scroll.direction = direction;
  ev->scroll.device = gdk_device_get_core_pointer();
  deliver(ev);
}

void send_key(GtkWidget *w, guint keyval, GdkModifierType state) {
  GdkKeymapKey *keys = nullptr;
  gint n = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_default(), keyval, &keys, &n);
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent *ev = event_for(w, type);
    ev->key.keyval = keyval;
    ev->key.state = state;
    ev->key.hardware_keycode = n > 0 ? keys[0].keycode : 0;
    deliver(ev);
  }
  g_free(keys);
}

void send_delete(GtkWidget *toplevel) { deliver(event_for(toplevel, GDK_DELETE)); }

GdkPixbuf *read_pixels(GtkWidget *w, int x, int y, int width, int height) {
  gdk_flush();
  return gdk_pixbuf_get_from_drawable(nullptr, gtk_widget_get_window(w), nullptr, x, y, 0, 0,
                                      width, height);
}

guint32 pixel_at(GtkWidget *w, int x, int y) {
  GdkPixbuf *pb = read_pixels(w, x, y, 1, 1);
  if (!pb) return 0xFFFFFFFFu;
  const guchar *p = gdk_pixbuf_get_pixels(pb);
  guint32 v = (guint32(p[0]) << 16) | (guint32(p[1]) << 8) | p[2];
  g_object_unref(pb);
  return v;
}

namespace {
struct Answer {
  std::function<void(GtkWidget *)> fn;
  GList *before;
  int ticks;
};

gboolean answer_tick(gpointer data) {
  auto *a = static_cast<Answer *>(data);
  GList *tops = gtk_window_list_toplevels();
  GtkWidget *fresh = nullptr;
  for (GList *l = tops; l && !fresh; l = l->next)
    if (!g_list_find(a->before, l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)) &&
        gtk_widget_get_mapped(GTK_WIDGET(l->data)))
      fresh = GTK_WIDGET(l->data);
  g_list_free(tops);
  if (!fresh && ++a->ticks < 400) return TRUE;  // give up after about 10 s
  if (fresh) a->fn(fresh);
  g_list_free_full(a->before, g_object_unref);
  delete a;
  return FALSE;
}
}  // namespace

void answer_next_dialog(std::function<void(GtkWidget *)> answer) {
  auto *a = new Answer{std::move(answer), gtk_window_list_toplevels(), 0};
  // Held so that a window destroyed meanwhile cannot leave its address to
  // the new one, which would then pass for one seen before.
  g_list_foreach(a->before, [](gpointer w, gpointer) { g_object_ref(w); }, nullptr);
  g_timeout_add(25, answer_tick, a);
}

GtkWidget *find_widget(GtkWidget *w, GType type, const char *label) {
  if (G_TYPE_CHECK_INSTANCE_TYPE(w, type)) {
    if (!label) return w;
    const char *text = nullptr;
    if (GTK_IS_BUTTON(w)) text = gtk_button_get_label(GTK_BUTTON(w));
    else if (GTK_IS_LABEL(w)) text = gtk_label_get_label(GTK_LABEL(w));
    else if (GTK_IS_MENU_ITEM(w) && GTK_IS_LABEL(gtk_bin_get_child(GTK_BIN(w))))
      text = gtk_label_get_label(GTK_LABEL(gtk_bin_get_child(GTK_BIN(w))));
    if (text && std::strcmp(text, label) == 0) return w;
  }
  if (!GTK_IS_CONTAINER(w)) return nullptr;
  GList *kids = gtk_container_get_children(GTK_CONTAINER(w));
  GtkWidget *found = nullptr;
  for (GList *l = kids; l && !found; l = l->next)
    found = find_widget(GTK_WIDGET(l->data), type, label);
  g_list_free(kids);
  if (!found && GTK_IS_MENU_ITEM(w) && gtk_menu_item_get_submenu(GTK_MENU_ITEM(w)))
    found = find_widget(gtk_menu_item_get_submenu(GTK_MENU_ITEM(w)), type, label);
  return found;
}

void GuiTest::SetUp() {
  enter_test_workdir();
  destroy_all_windows();
  reset_editor_state();
  char prog[] = "koma";
  char *argv[] = {prog, nullptr};
  koma_start(1, argv);
  // Wait until the canvas is on the screen and has had its first exposure.
  for (int i = 0; i < 100 && !gtk_widget_get_mapped(drawing_area); i++) pump(10);
  pump(30);
}

void GuiTest::TearDown() { destroy_all_windows(); }
