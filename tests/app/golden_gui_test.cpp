// Scripted sessions, compared whole with tests/golden/*.txt: after each step
// ("» ..."), everything the program printed, each dialog as it was answered
// ("? ..."), and the facts of each window, read from its widgets, where they
// changed ("= ..."). A difference is shown as a diff; KOMA_GOLDEN_UPDATE=1
// writes the files anew.
#include <gdk/gdkkeysyms.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <numeric>
#include <sstream>

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include "app/startup.h"
#include "base/colour.h"
#include "base/globals.h"
#include "base/status.h"
#include "support/gui.h"

namespace {
// A fixed place, as its paths are in the traces; a runner that needs another
// names one of the same length (traces give it), and the record says this one.
constexpr const char *kShownDir = "/tmp/koma-golden";
const std::string kDir = g_getenv("KOMA_GOLDEN_FILES") ? g_getenv("KOMA_GOLDEN_FILES") : kShownDir;
std::string session;                          // what the session printed and showed so far
std::map<std::string, std::string> shown;     // each window's facts at the last step

void note(const std::string &line) {  // a line of the test's own, on a line of its own
  if (!session.empty() && session.back() != '\n') session += "⟨no line break⟩\n";
  session += line + "\n";
}
std::string quoted(const char *s) {
  std::string q = "\"";
  for (; s && *s; s++) q += *s == '\n' ? std::string("\\n") : *s == '"' ? std::string("\\\"") : std::string(1, *s);
  return q + "\"";
}
std::string wxh(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }
std::string size(GtkWidget *w, bool request) {
  gint x = -1, y = -1;
  request ? gtk_widget_get_size_request(w, &x, &y) : gtk_window_get_default_size(GTK_WINDOW(w), &x, &y);
  return wxh(x, y);
}
std::string window_facts(GtkWidget *w) { return quoted(gtk_window_get_title(GTK_WINDOW(w))) + " default " + size(w, false); }
void all_of(GtkWidget *w, GType type, std::vector<GtkWidget *> *out) {
  if (G_TYPE_CHECK_INSTANCE_TYPE(w, type) && gtk_widget_get_visible(w)) out->push_back(w);
  if (!GTK_IS_CONTAINER(w)) return;
  g_autoptr(GList) kids = gtk_container_get_children(GTK_CONTAINER(w));
  for (GList *l = kids; l; l = l->next) all_of(GTK_WIDGET(l->data), type, out);
}
// A dialog's visible labels, then its buttons.
std::string texts(GtkWidget *d) {
  std::vector<GtkWidget *> labels, buttons;
  all_of(d, GTK_TYPE_LABEL, &labels), all_of(d, GTK_TYPE_BUTTON, &buttons);
  std::string s;
  for (GtkWidget *l : labels)
    if (!gtk_widget_get_ancestor(l, GTK_TYPE_BUTTON)) s += " label " + quoted(gtk_label_get_text(GTK_LABEL(l)));
  for (GtkWidget *b : buttons) s += std::string(" button ") + gtk_button_get_label(GTK_BUTTON(b));
  return s;
}
int sensitive(const char *item) { return gtk_widget_is_sensitive(find_widget(window, GTK_TYPE_MENU_ITEM, item)); }
// Labels with their accelerators, submenus in brackets, "-" a tear-off item, "|" a separator.
std::string menu_text(GtkWidget *shell) {
  std::string s;
  g_autoptr(GList) items = gtk_container_get_children(GTK_CONTAINER(shell));
  for (GList *l = items; l; l = l->next) {
    GtkWidget *e = GTK_WIDGET(l->data), *sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(e)), *label = gtk_bin_get_child(GTK_BIN(e));
    std::string accel;
    if (GTK_IS_ACCEL_LABEL(label)) gtk_accel_label_refetch(GTK_ACCEL_LABEL(label)), accel = GTK_ACCEL_LABEL(label)->accel_string;
    s += GTK_IS_TEAROFF_MENU_ITEM(e) ? "- " : GTK_IS_SEPARATOR_MENU_ITEM(e) ? "| "
         : gtk_label_get_label(GTK_LABEL(label)) + accel + (sub ? "[" + menu_text(sub) + "] " : " ");
  }
  return s;
}
// How many cells have each colour but white, and the box they lie in.
std::string picture(const int *cells) {
  std::map<std::string, std::array<int, 5>> n;  // count, left, top, right, bottom
  for (int i = 0, x = 0, y = 0; cells && i < mv_size_widht * mv_size_heigth; i++, x = i % mv_size_widht, y = i / mv_size_widht)
    if (!px_is_white(cells + 3 * i)) {
      auto [at, fresh] = n.try_emplace(std::to_string(cells[3 * i]) + "," + std::to_string(cells[3 * i + 1]) + "," +
                                       std::to_string(cells[3 * i + 2]), std::array{0, x, y, x, y});
      auto &[k, l, t, r, b] = at->second;
      k++, l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
    }
  std::string s;
  for (auto &[c, v] : n) s += " " + std::to_string(v[0]) + "×" + c + " in (" + std::to_string(v[1]) + "," +
                              std::to_string(v[2]) + ")-(" + std::to_string(v[3]) + "," + std::to_string(v[4]) + ")";
  return s.empty() ? " white" : s;
}
std::string image_of(GtkWidget *image) {  // which image file a widget shows
  GdkPixbuf *shows = gtk_image_get_pixbuf(GTK_IMAGE(image));
  for (const char *f : {"supoit", "dot", "line", "box", "box2", "maru", "maru2", "nuri"}) {
    g_autoptr(GdkPixbuf) file = gdk_pixbuf_new_from_file((f + std::string(".png")).c_str(), nullptr);
    if (shows && file && gdk_pixbuf_get_width(shows) == gdk_pixbuf_get_width(file) &&
        gdk_pixbuf_get_height(shows) == gdk_pixbuf_get_height(file) &&
        !std::memcmp(gdk_pixbuf_get_pixels(shows), gdk_pixbuf_get_pixels(file),
                     gdk_pixbuf_get_rowstride(file) * gdk_pixbuf_get_height(file)))
      return f;
  }
  return shows ? wxh(gdk_pixbuf_get_width(shows), gdk_pixbuf_get_height(shows)) : "none";
}
// Whether an image shows the picture, one pixel a cell.
std::string shows_picture(GtkWidget *image) {
  GdkPixbuf *pb = gtk_image_get_pixbuf(GTK_IMAGE(image));
  if (!pb) return "none";
  bool same = gdk_pixbuf_get_width(pb) == mv_size_widht && gdk_pixbuf_get_height(pb) == mv_size_heigth;
  for (int i = 0; same && i < mv_size_widht * mv_size_heigth; i++)
    for (int c = 0; c < 3; c++)
      same = same && gdk_pixbuf_get_pixels(pb)[i / mv_size_widht * gdk_pixbuf_get_rowstride(pb) +
                                               i % mv_size_widht * gdk_pixbuf_get_n_channels(pb) + c] == px_cnvs[3 * i + c];
  return wxh(gdk_pixbuf_get_width(pb), gdk_pixbuf_get_height(pb)) + (same ? " of the picture" : " of another picture");
}
std::map<std::string, std::string> facts() {
  std::map<std::string, std::string> f;
  f["main"] = window_facts(window) + " canvas " + size(drawing_area, true) + " status line " + size(statas_area, true);
  f["menu"] = "undo " + std::to_string(sensitive("取り消す(_U)")) + " redo " + std::to_string(sensitive("やり直す(_R)"));
  f["status"] = quoted(px_status_text);
  f["document"] = quoted(now_file_name) + " save_fg " + std::to_string(save_fg) + " start_fg " + std::to_string(start_fg) +
                  " " + wxh(mv_size_widht, mv_size_heigth) + " scale " + std::to_string(dot_size);
  f["picture"] = picture(px_cnvs) + (picture(px_cnvs_vtl) == " white" ? "" : " | overlay" + picture(px_cnvs_vtl));
  f["tool"] = std::to_string(now_tool) + " colour " + std::to_string(now_rgb[0]) + "," + std::to_string(now_rgb[1]) + "," +
              std::to_string(now_rgb[2]) + " pending " + std::to_string(tool_line_start) + std::to_string(tool_box_start) +
              std::to_string(tool_circle_start);
  std::string buttons;
  std::vector<GtkWidget *> images;
  if (tool_bar_view_fg) all_of(tool_bar_window, GTK_TYPE_IMAGE, &images);
  for (GtkWidget *i : images) buttons += " " + image_of(i);
  f["tool bar"] = tool_bar_view_fg ? window_facts(tool_bar_window) + buttons : "closed";
  f["palette"] = color_paret_view_fg ? window_facts(cp_main_window) : "closed";
  f["preview"] = "closed";
  if (preview_fg) f["preview"] = window_facts(preview_window) + " image " + shows_picture(find_widget(preview_window, GTK_TYPE_IMAGE));
  return f;
}

// Runs `act` from the main loop, as the toolkit runs a command, then lets the
// screen settle and records what changed.
void step(const std::string &what, std::function<void()> act) {
  note("» " + what);
  if (run_command(std::move(act))) note("(the main loop has ended)");
  for (int i = 0; i < 100 && drawing_area && !gtk_widget_get_mapped(drawing_area); i++) pump(10);
  // Until the X server and the toolkit have been quiet for a while, however busy the machine.
  for (int quiet = 0, i = 0; quiet < 4 && i < 150; i++, g_usleep(20000)) {
    gdk_flush();
    quiet++;
    while (gtk_events_pending()) quiet = 0, gtk_main_iteration_do(FALSE);
  }
  for (auto &[name, now] : facts())
    if (shown[name] != now) note("= " + name + ": " + now), shown[name] = now;
}

// Answers the next dialogs in turn: a chooser with a path ("" cancels); a
// dialog with entries by trying each "W H" (or "S") of a "|"-separated list
// with Apply; any other by its button of that label, or "close".
void reply(std::vector<std::string> replies, std::size_t i = 0) {
  if (i == replies.size()) return;
  answer_next_dialog([replies, i](GtkWidget *d) {
    reply(replies, i + 1);
    // What the last dialog's going caused (an exposure) is printed first, however late this runs.
    gdk_flush();
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    const std::string &r = replies[i];
    std::string seen = "? " + window_facts(d) + " size " + size(d, true);
    if (GTK_IS_FILE_CHOOSER(d)) {
      GtkFileChooser *fc = GTK_FILE_CHOOSER(d);
      GtkWidget *name = find_widget(d, GTK_TYPE_ENTRY);
      note(seen + (gtk_file_chooser_get_action(fc) == GTK_FILE_CHOOSER_ACTION_SAVE ? " save" : " open") +
           " confirm " + std::to_string(gtk_file_chooser_get_do_overwrite_confirmation(fc)) + " name " +
           quoted(name && gtk_widget_get_visible(name) ? gtk_entry_get_text(GTK_ENTRY(name)) : "") + " → " + quoted(r.c_str()));
      gtk_file_chooser_set_action(fc, GTK_FILE_CHOOSER_ACTION_SAVE);  // takes a path
      gtk_file_chooser_set_current_name(fc, r.c_str());
      gtk_dialog_response(GTK_DIALOG(d), r.empty() ? GTK_RESPONSE_CANCEL : GTK_RESPONSE_ACCEPT);
      return;
    }
    std::vector<GtkWidget *> entries;
    all_of(d, GTK_TYPE_ENTRY, &entries);
    seen += texts(d);
    for (GtkWidget *e : entries) seen += " entry " + quoted(gtk_entry_get_text(GTK_ENTRY(e)));
    note(seen + " → " + r);
    if (entries.empty()) {
      if (r == "close") send_delete(d);
      else gtk_button_clicked(GTK_BUTTON(find_widget(d, GTK_TYPE_BUTTON, r.c_str())));
      return;
    }
    std::istringstream tries(r);
    for (std::string t; std::getline(tries, t, '|') && gtk_widget_get_visible(d);) {
      std::istringstream values(t);
      for (GtkWidget *e : entries) {
        std::string v;
        values >> v, gtk_entry_set_text(GTK_ENTRY(e), v.c_str());
      }
      gtk_button_clicked(GTK_BUTTON(find_widget(d, GTK_TYPE_BUTTON, "gtk-apply")));
      if (GTK_IS_WIDGET(d) && gtk_widget_get_visible(d)) note("? still open:" + texts(d));
    }
  });
}

// The names in `dir` that `keep` keeps, sorted.
std::string listing(const std::string &dir, bool (*keep)(const std::string &)) {
  std::vector<std::string> names;
  g_autoptr(GDir) d = g_dir_open(dir.c_str(), 0, nullptr);
  for (const char *n; d && (n = g_dir_read_name(d));)
    if (keep(n)) names.push_back(n);
  std::sort(names.begin(), names.end());
  return std::accumulate(names.begin(), names.end(), std::string(), [](auto a, auto b) { return a + " " + b; });
}

// The editor as the program starts it with `args`, the session's record begun.
void start(const std::string &document = "") {
  destroy_all_windows();  // before the record: an earlier test's windows say "destroy"
  session.clear(), shown.clear();
  g_set_print_handler([](const gchar *s) { session += s; });
  step("start:" + (document.empty() ? "" : " " + document), [document] { start_editor(document); });
  note("= menu bar: " + menu_text(find_widget(window, GTK_TYPE_MENU_BAR)));
}

void compare(const std::string &name) {
  g_set_print_handler(nullptr);
  for (std::size_t at; kDir != kShownDir && (at = session.find(kDir)) != session.npos;) session.replace(at, kDir.size(), kShownDir);
  const std::string path = std::string(KOMA_GOLDEN_DIR) + "/" + name + ".txt";
  if (g_getenv("KOMA_GOLDEN_UPDATE")) write_file(path, session);
  if (read_file(path) == session) return;
  const std::string got = make_scratch_dir("golden") + "/" + name + ".txt";
  write_file(got, session);
  gchar *diff = nullptr;
  const gchar *argv[] = {"diff", "-u", path.c_str(), got.c_str(), nullptr};
  g_spawn_sync(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &diff, nullptr, nullptr, nullptr);
  ADD_FAILURE() << "the session differs from " << path << " (KOMA_GOLDEN_UPDATE=1 writes it):\n" << (diff ? diff : "");
  g_free(diff);
}

double at(int cell) { return (cell + .5) * dot_size; }  // the middle of a cell
// Where the visible part of the canvas starts, in the drawing area.
double shown_x() { return gtk_adjustment_get_value(gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(g_scroll_window))); }
double shown_y() { return gtk_adjustment_get_value(gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(g_scroll_window))); }
void move(int x, int y) { send_motion(drawing_area, at(x), at(y)); }
void press(int x, int y, guint b = 1) { send_button(drawing_area, GDK_BUTTON_PRESS, at(x), at(y), b); }
void release(int x, int y, guint b = 1) { send_button(drawing_area, GDK_BUTTON_RELEASE, at(x), at(y), b); }
void put(int x, int y, guint b = 1) { move(x, y), press(x, y, b), release(x, y, b); }
void shape(int x1, int y1, int x2, int y2) { put(x1, y1), move(x2 + 1, y2 + 1), move(x2, y2), put(x2, y2); }
void key(guint keyval, int mods) { send_key(window, keyval, GdkModifierType(GDK_CONTROL_MASK | mods)); }
void item(const char *label) { gtk_menu_item_activate(GTK_MENU_ITEM(find_widget(window, GTK_TYPE_MENU_ITEM, label))); }
void button(int n) {  // of the tool bar, from the top
  g_autoptr(GList) kids = gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(tool_bar_window))));
  gtk_button_clicked(GTK_BUTTON(g_list_nth_data(kids, n)));
}
}  // namespace

// Every tool through the tool bar and the menu, the palette, undo and redo,
// the scale, the tool bar and palette closed and opened again, Quit with the
// prompt answered No.
TEST(Golden, DrawingSession) {
  start();
  step("pointer to cell (5, 12)", [] { move(5, 12); });
  step("dot stroke (2, 3) to (5, 3), then the right button on (3, 3)",
       [] { press(2, 3), move(3, 3), move(5, 3), release(5, 3), move(3, 3), put(3, 3, 3); });
  step("palette: the swatch at (25, 130)", [] { click(find_widget(cp_main_window, GTK_TYPE_DRAWING_AREA), 25, 130); });
  step("tool bar: line; (10, 10) to (15, 12)", [] { button(2), shape(10, 10, 15, 12); });
  step("menu: 正方形; (20, 30) to (26, 30), on the corner's row", [] { item("正方形"), shape(20, 30, 26, 30); });
  step("tool bar: rectangle; (40, 20) to (30, 15)", [] { button(4), shape(40, 20, 30, 15); });
  step("menu: 円; centre (40, 40) to (43, 42)", [] { item("円"), shape(40, 40, 43, 42); });
  step("tool bar: ellipse; centre (12, 50) to (18, 52)", [] { button(6), shape(12, 50, 18, 52); });
  step("a line's first point, then the menu's 点", [] { item("線"), put(1, 1), move(2, 2), item("点"); });
  step("tool bar: fill at (0, 63)", [] { button(7), put(0, 63); });
  step("menu: スポイト at (2, 3)", [] { item("スポイト"), put(2, 3); });
  step("Ctrl+Z twice, Shift+Ctrl+Z", [] { key(GDK_KEY_z, 0), key(GDK_KEY_z, 0), key(GDK_KEY_z, GDK_SHIFT_MASK); });
  step("Ctrl+N, the prompt answered No; 100 x 90", [] { reply({"gtk-no", "100 90"}), key(GDK_KEY_n, 0); });
  step("scroll down twice and right once; pointer to (3, 4) of the window", [] {
    send_scroll(drawing_area, GDK_SCROLL_DOWN), send_scroll(drawing_area, GDK_SCROLL_DOWN), send_scroll(drawing_area, GDK_SCROLL_RIGHT);
    pump(20), send_motion(drawing_area, shown_x() + 35, shown_y() + 45);
  });
  step("menu: スケールの変更 to 5", [] { reply({"5"}), item("スケールの変更"); });
  step("close the tool bar and the palette, open them again", [] {
    send_delete(tool_bar_window), send_delete(cp_main_window), item("ツールバー"), item("カラーパレット");
  });
  step("tool bar: dot; a dot at (90, 80)", [] { button(1), put(90, 80); });
  step("Ctrl+Q, the prompt answered No", [] { reply({"gtk-no"}), key(GDK_KEY_q, 0); });
  compare("drawing");
}

// New with its size dialog, Save (as), Save, undo to the saved picture, the
// three exports, the preview, Open (a file that is no document, then one that
// is), Save As, a close request with the prompt closed, a picture without
// cells opened and previewed, and New of one.
TEST(Golden, DocumentSession) {
  g_mkdir_with_parents(kDir.c_str(), 0755);
  for (const char *f : {"a.bmp", "b.koma", "b.bmp", "b.png", "c.koma"}) g_remove((kDir + "/" + f).c_str());
  write_file(kDir + "/a.koma", "koma1.0\n3 x 2\n255,0,0\n0,128,0\n0,0,255\n1,2,3\n255,255,255\n-5,300,7\n");
  write_file(kDir + "/hello.txt", "hello\n"), write_file(kDir + "/empty.koma", "koma1.0\n0 x 3\n");
  start(kDir + "/a.koma");
  step("menu: 新規; 2049 x 2, 2 x 2049, 3 x -1, then 3 x 2", [] { reply({"2049 2|2 2049|3 -1|3 2"}), item("新規(_N)"); });
  step("menu: 線; a first point at (4, 2)", [] { item("線"), put(4, 2); });
  step("menu: 点", [] { item("点"); });
  step("dot at (1, 1); Ctrl+S", [] { put(1, 1), reply({kDir + "/b.koma"}), key(GDK_KEY_s, 0); });
  step("dot at (2, 1); Ctrl+S; Ctrl+Z", [] { put(2, 1), key(GDK_KEY_s, 0), key(GDK_KEY_z, 0); });
  step("export BMP", [] { reply({kDir + "/b.bmp"}), item("BMPファイルとして保存(_B)"); });
  step("export PNG", [] { reply({kDir + "/b.png"}), item("PNGファイルとして保存(_P)"); });
  step("export JPEG, cancelled", [] { reply({""}), item("JPEGファイルとして保存(_J)"); });
  step("menu: プレビュー; dot at (0, 0); 更新", [] {
    item("プレビュー"), put(0, 0), gtk_button_clicked(GTK_BUTTON(find_widget(preview_window, GTK_TYPE_BUTTON, "更新")));
  });
  step("Ctrl+O: Yes; hello.txt", [] { reply({"gtk-yes", kDir + "/hello.txt"}), key(GDK_KEY_o, 0); });
  step("Ctrl+O: a.koma", [] { reply({kDir + "/a.koma"}), key(GDK_KEY_o, 0); });
  step("export BMP: colours out of range", [] { reply({kDir + "/a.bmp"}), item("BMPファイルとして保存(_B)"); });
  step("Shift+Ctrl+S: c.koma", [] { reply({kDir + "/c.koma"}), key(GDK_KEY_s, GDK_SHIFT_MASK); });
  step("dot at (0, 1); a close request, the prompt closed", [] { put(0, 1), reply({"close"}), send_delete(window); });
  step("Ctrl+O: No; empty.koma (0 x 3); 更新", [] {
    reply({"gtk-no", kDir + "/empty.koma"}), key(GDK_KEY_o, 0);
    if (preview_fg) gtk_button_clicked(GTK_BUTTON(find_widget(preview_window, GTK_TYPE_BUTTON, "更新")));
  });
  step("menu: 新規; 0 x 2", [] { reply({"0 2"}), item("新規(_N)"); });
  EXPECT_EQ(read_file(kDir + "/c.koma"), read_file(kDir + "/a.koma"));
  note("= left in the working directory:" + listing(".", [](const std::string &n) { return n[0] == '.'; }));
  compare("documents");
}

// koma-export's whole answer (exit status, standard output and error) to
// command lines right and wrong, and the files left afterwards.
TEST(Golden, KomaExportSession) {
  const std::string dir = kDir + "/cli";
  session.clear();
  g_mkdir_with_parents(dir.c_str(), 0755);
  for (const char *f : {"a.bmp", "a.png", "s.jpg", "t.bmp", "one.png"}) g_remove((dir + "/" + f).c_str());
  write_file(dir + "/a.koma", "koma1.0\n3 x 2\n255,0,0\n0,128,0\n0,0,255\n1,2,3\n255,255,255\n-5,300,7\n");
  write_file(dir + "/cut.koma", "koma1.0\n2 x 2\n1,2,3\n4,5\n");
  write_file(dir + "/wide.koma", "koma1.0\n2049 x 1\n"), write_file(dir + "/tall.koma", "koma1.0\n1 x 2049\n");
  write_file(dir + "/minus.koma", "koma1.0\n-1 x 1\n"), write_file(dir + "/size.koma", "koma1.0\nthree x 1\n");
  write_file(dir + "/empty.koma", "koma1.0\n0 x 3\n"), write_file(dir + "/text.txt", "koma1.0\r\n1 x 1\n0,0,0\n");
  for (const std::string args : {"", "a.koma", "a.koma a.bmp b.bmp", "--help", "--version", "-s 0 a.koma a.png",
                                 "-s 8193 a.koma a.png", "-s 2x a.koma a.png", "-x a.koma a.png", "a.koma a.gif",
                                 "a.koma a", "missing.koma a.png", "text.txt a.png", "wide.koma a.bmp", "tall.koma a.bmp",
                                 "minus.koma a.bmp", "size.koma a.bmp", "empty.koma a.png", "a.koma gone/a.png",
                                 "cut.koma t.bmp", "a.koma a.bmp", "-s 7 a.koma a.png", "-s 4 a.koma s.jpg",
                                 "-s 1 a.koma one.png"}) {
    std::string cmd = "cd " + dir + " && " KOMA_EXPORT_BIN " " + args;
    gchar *out = nullptr, *err = nullptr;
    gint status = 0;
    const gchar *argv[] = {"sh", "-c", cmd.c_str(), nullptr};
    g_spawn_sync(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out, &err, &status, nullptr);
    note("$ koma-export " + args + "  → " + std::to_string(WEXITSTATUS(status)));
    session += std::string(out) + err;
    g_free(out), g_free(err);
  }
  note("= files:" + listing(dir, [](const std::string &) { return true; }));
  for (const char *image : {"a.bmp", "a.png", "s.jpg", "t.bmp", "one.png"}) {
    int w = 0, h = 0;
    gdk_pixbuf_get_file_info((dir + "/" + image).c_str(), &w, &h);
    const bool ours = g_str_has_suffix(image, ".bmp");  // GdkPixbuf writes the others, its own way
    note(std::string("= ") + image + " " + wxh(w, h) + (ours ? ", " + std::to_string(read_file(dir + "/" + image).size()) + " bytes" : ""));
  }
  compare("koma-export");
}
