// Recovery snapshots: taken after a pause while there are unsaved changes,
// gone once there are none, written when the end is announced, offered back
// at the next start. A child program is this test program run again
// (gui_test_child): the editor as it starts, told on standard input to draw
// through real events on its canvas, reporting on standard output.
#include <gdk/gdkkeysyms.h>
#include <grp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "app/recovery.h"
#include "app/scale_dialog.h"
#include "app/startup.h"
#include "base/globals.h"
#include "base/status.h"
#include "canvas/cells.h"
#include "files/document.h"
#include "files/snapshot.h"
#include "support/gui.h"
#include "tools/tool_select.h"

namespace {
using std::to_string;
constexpr const char *kOfferHead = "保存されていない絵が残っています。\n文書: ";
constexpr uid_t kNobody = 65534;

std::string hash(const int *cells, std::size_t ints) {  // FNV-1a: the same picture, the same text
  std::uint64_t h = 14695981039346656037ull;
  for (std::size_t i = 0; i < ints; i++) h = (h ^ std::uint32_t(cells[i])) * 1099511628211ull;
  return to_string(h);
}
// Picture, size, scale, save_fg and start_fg, name: of the editor, or as a snapshot brings them back.
std::string editor() {
  return hash(px_cnvs, 3 * std::size_t(mv_size_widht) * mv_size_heigth) + " " + to_string(mv_size_widht) + "x" +
         to_string(mv_size_heigth) + " " + to_string(dot_size) + " " + to_string(save_fg) + to_string(start_fg) + " " + now_file_name;
}
std::string restored(const Snapshot &s) {
  return hash(s.cells.data(), s.cells.size()) + " " + to_string(s.width) + "x" + to_string(s.height) + " " +
         to_string(s.meta.scale) + " 1" + to_string(s.meta.untitled) + " " + s.meta.name;
}
// The snapshots in `folder`, their ids' order: each as restored() gives it.
std::vector<std::string> snapshots(const std::string &folder = snapshot_folder()) {
  std::vector<std::string> ids = snapshot_ids(folder), out;
  std::sort(ids.begin(), ids.end());
  for (const std::string &id : ids)
    if (Snapshot s; snapshot_read(folder, id, &s) == SnapshotRead::Ok) out.push_back(restored(s));
  return out;
}

// The offers are answered in turn from `replies` (then closed); their texts land in `offers`.
std::vector<gint> replies;
std::vector<std::string> offers;
void answer_offers() {
  static guint on = g_timeout_add(20, [](gpointer) -> gboolean {
    GList *tops = gtk_window_list_toplevels();
    for (GList *l = tops; l; l = l->next) {
      GtkWidget *d = GTK_WIDGET(l->data), *label = GTK_IS_DIALOG(d) && gtk_widget_get_mapped(d) ? find_widget(d, GTK_TYPE_LABEL) : nullptr;
      if (!label || g_object_get_data(G_OBJECT(d), "answered") || std::string(gtk_label_get_text(GTK_LABEL(label))).rfind(kOfferHead, 0)) continue;
      g_object_set_data(G_OBJECT(d), "answered", d);
      offers.push_back(gtk_label_get_text(GTK_LABEL(label)));
      const gint reply = replies.empty() ? GTK_RESPONSE_DELETE_EVENT : replies.front();
      if (!replies.empty()) replies.erase(replies.begin());
      gtk_dialog_response(GTK_DIALOG(d), reply);
    }
    g_list_free(tops);
    return TRUE;
  }, nullptr);
  (void)on;
}

// ---- the child program ----------------------------------------------------

std::string flat(std::string text) {  // one line
  std::replace(text.begin(), text.end(), '\n', '|');
  return text;
}

void say(const std::string &line) {
  const std::string out = line + "\n";
  if (write(1, out.data(), out.size()) != ssize_t(out.size())) _exit(3);
}

// `n` random actions through events on the canvas: dot strokes, shapes, fills, an
// undo among them (never last), sometimes a new scale. No shape is left pending.
void draw(unsigned seed, int n) {
  std::mt19937 rng(seed);
  auto at = [&](int cells) { return double(rng() % cells * dot_size + dot_size / 2); };
  for (int i = 0; i < n; i++) {
    const double x = at(mv_size_widht), y = at(mv_size_heigth);
    for (int &c : now_rgb) c = rng() % 256;
    send_motion(drawing_area, x, y);
    const int tool = std::array{kToolDot, kToolDot, kToolLine, kToolRect, kToolEllipse, kToolFill}[rng() % 6];
    px_select_tool(tool, nullptr);
    if (tool == kToolDot) {
      const guint button = rng() % 2 ? 1 : 3;
      send_button(drawing_area, GDK_BUTTON_PRESS, x, y, button);
      for (int k = 0; k < 3; k++) send_motion(drawing_area, at(mv_size_widht), at(mv_size_heigth));
      send_button(drawing_area, GDK_BUTTON_RELEASE, x, y, button);
    } else {
      click(drawing_area, x, y);
      if (tool != kToolFill) send_motion(drawing_area, x + dot_size, y), click(drawing_area, at(mv_size_widht), at(mv_size_heigth));
    }
    if (i == 1 && rng() % 2) send_key(window, GDK_KEY_z, GDK_CONTROL_MASK);
  }
  if (rng() % 3 == 0) {
    const std::string scale = to_string(2 + rng() % 9);
    answer_next_dialog([scale](GtkWidget *d) {
      gtk_entry_set_text(GTK_ENTRY(entry_size), scale.c_str());
      gtk_button_clicked(GTK_BUTTON(find_widget(d, GTK_TYPE_BUTTON, "gtk-apply")));
    });
    cb_change_scale();
  }
  for (int i = 0; i < 300 && !gtk_widget_get_mapped(drawing_area); i++) pump(10);
}

// Commands: "draw SEED N" (then the state), "status" (the status line). The
// end of the input ends the child.
gboolean on_command(GIOChannel *in, GIOCondition, gpointer) {
  gchar *line = nullptr;
  if (g_io_channel_read_line(in, &line, nullptr, nullptr, nullptr) != G_IO_STATUS_NORMAL) return gtk_main_quit(), FALSE;
  unsigned seed = 0;
  int n = 0;
  if (std::sscanf(line, "draw %u %d", &seed, &n) == 2) draw(seed, n), say("state " + editor());
  else say(std::string("status ") + px_status_text);
  g_free(line);
  return TRUE;
}

// argv[1]: the document, if any. $KOMA_OFFER_ANSWER: yes, no or (anything else) close.
int recovery_child(int argc, char **argv) {
  g_set_print_handler([](const gchar *) {});  // the traces are not what it reports
  gtk_set_locale();
  gtk_init(&argc, &argv);
  const std::string answer = g_getenv("KOMA_OFFER_ANSWER");
  replies.assign(9, answer == "yes" ? GTK_RESPONSE_YES : answer == "no" ? GTK_RESPONSE_NO : GTK_RESPONSE_DELETE_EVENT);
  answer_offers();
  koma_start(argc, argv);
  for (int i = 0; i < 300 && !gtk_widget_get_mapped(drawing_area); i++) pump(10);
  for (const std::string &o : offers) say("offer " + flat(o));
  say("state " + editor());
  g_io_add_watch(g_io_channel_unix_new(0), GIOCondition(G_IO_IN | G_IO_HUP), on_command, nullptr);
  gtk_main();
  return 0;
}
const bool registered = (gui_test_child = recovery_child, true);

// ---- the test's side --------------------------------------------------------

struct Child {
  GPid pid = 0;
  int in = -1, out = -1;
  std::string buf;
  std::string line() {  // its next line, "" if none comes within 30 s
    for (std::size_t end; (end = buf.find('\n')) == buf.npos;) {
      pollfd p{out, POLLIN, 0};
      char chunk[4096];
      const ssize_t n = poll(&p, 1, 30000) > 0 ? read(out, chunk, sizeof chunk) : 0;
      if (n <= 0) return "";
      buf.append(chunk, std::size_t(n));
    }
    const std::string l = buf.substr(0, buf.find('\n'));
    buf.erase(0, l.size() + 1);
    return l;
  }
  std::string ask(const std::string &command) {
    const std::string c = command + "\n";
    return write(in, c.data(), c.size()) == ssize_t(c.size()) ? line() : "";
  }
  int end(int sig) {  // its wait status
    if (sig) kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    close(in), close(out), g_spawn_close_pid(pid);
    return status;
  }
};

Child start_child(const std::string &state, const char *answer, const std::string &doc = "",
                  const std::string &display = "", bool as_nobody = false) {
  gchar **env = g_environ_setenv(g_get_environ(), kTestChildVariable, "1", TRUE);
  env = g_environ_setenv(env, "XDG_STATE_HOME", state.c_str(), TRUE);
  env = g_environ_setenv(env, "KOMA_OFFER_ANSWER", answer, TRUE);
  if (!display.empty()) env = g_environ_setenv(env, "DISPLAY", display.c_str(), TRUE);
  gchar *self = g_file_read_link("/proc/self/exe", nullptr);
  std::string document = doc;
  char *argv[] = {self, doc.empty() ? nullptr : document.data(), nullptr};
  Child c;
  GSpawnChildSetupFunc drop = [](gpointer) {
    if (setgroups(0, nullptr) || setgid(kNobody) || setuid(kNobody)) _exit(4);
  };
  if (!g_spawn_async_with_pipes("/", argv, env, G_SPAWN_DO_NOT_REAP_CHILD, as_nobody ? drop : nullptr, nullptr,
                                &c.pid, &c.in, &c.out, nullptr, nullptr))
    ADD_FAILURE() << "cannot start a child";
  g_strfreev(env), g_free(self);
  return c;
}

// The offers a child made and the state it started in.
std::string started(Child &c) {
  std::string out, l;
  while ((l = c.line()).rfind("offer ", 0) == 0) out += l + "\n";
  return out + l;
}

std::string state_of(const std::string &line) { return line.substr(line.find(' ') + 1); }
// True when a child started with one offer naming `name`, in the state `state`.
bool offered(const std::string &start, const std::string &name, const std::string &state) {
  const std::size_t line = start.find('\n');
  return start.rfind("offer " + flat(kOfferHead + name + " ("), 0) == 0 && line != start.npos &&
         start.substr(line + 1) == "state " + state;
}

// One child after another in the state folder `state`, `kills` of them killed 1.5 to
// 2 s after their last change; each next one must offer that picture and bring it
// back whole on Yes (the document `doc`, given to each, then not opened).
std::string chain(const std::string &state, const std::string &doc, int kills, unsigned seed) {
  std::mt19937 rng(seed);
  std::string expected, errors;
  for (int k = 0; k <= kills; k++) {
    Child child = start_child(state, "yes", doc);
    const std::string start = started(child), status = child.ask("status");
    if (k == 0 ? start.rfind("state ", 0) != 0
               : !offered(start, doc.empty() ? "無題.koma" : doc, expected) ||
                     (!doc.empty() && status != "status 絵を復元したので " + doc + " は開いていません。"))
      errors += "start " + to_string(k) + " in " + state + ": " + start + "\n" + status + "\n";
    if (k < kills) {
      expected = state_of(child.ask("draw " + to_string(seed * 100 + k) + " 5"));
      std::this_thread::sleep_for(std::chrono::milliseconds(1500 + rng() % 500));
    }
    const int end = child.end(SIGKILL);
    if (!WIFSIGNALED(end) || WTERMSIG(end) != SIGKILL) errors += "a child ended by itself\n";
  }
  return errors;
}

std::vector<int> cells(int w, int h, int seed) {  // a picture made up of the seed
  std::vector<int> c(3 * w * h);
  for (std::size_t i = 0; i < c.size(); i++) c[i] = int(i * seed % 256);
  return c;
}
std::string document(int w, int h, int seed) { return koma_format(w, h, cells(w, h, seed).data()); }

std::string white_state() {
  const std::vector<int> white(3 * 64 * 64, 255);
  return hash(white.data(), white.size()) + " 64x64 10 01 無題.koma";
}

// An X server of the test's own, on a display number it picks itself.
std::pair<GPid, std::string> own_x_server() {
  const char *argv[] = {"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-noreset", "-nolisten", "tcp", nullptr};
  Child x;
  g_spawn_async_with_pipes(nullptr, const_cast<char **>(argv), nullptr,
                           GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL),
                           nullptr, nullptr, &x.pid, nullptr, &x.out, nullptr, nullptr);
  return {x.pid, ":" + x.line()};
}
}  // namespace

// 20 kills of a child drawing through real events, each 1.5 to 2 s after its last
// change, in ten chains side by side (untitled, or started with a document of a
// size of its own): every next start offers the picture, and Yes brings back
// exactly its picture, size, scale and name; the document is then not opened.
TEST(RecoveryChildren, AKillAfterAPauseLosesNothing) {
  constexpr int kChains = 10;
  const std::string dir = make_scratch_dir("chains");
  std::string errors[kChains];
  std::vector<std::thread> chains;
  for (int c = 0; c < kChains; c++) {
    const std::string doc = c % 2 ? dir + "/" + to_string(c) + ".koma" : "";
    if (c % 2) write_file(doc, document(3 + 4 * c, 40 - 3 * c, c));
    chains.emplace_back([&, c, doc] { errors[c] = chain(dir + "/state" + to_string(c), doc, 2, c + 1); });
  }
  for (std::thread &t : chains) t.join();
  for (const std::string &e : errors) EXPECT_EQ(e, "");
}

// Right after a change, before any pause: SIGTERM and SIGHUP end the child by the
// signal as before, the loss of its X server with status 1, and each leaves a
// snapshot of the picture of that moment, taken then.
TEST(RecoveryChildren, TheAnnouncedEndLeavesTheLastPicture) {
  const auto [server, display] = own_x_server();
  const std::string dir = make_scratch_dir("end");
  const int ends[] = {SIGTERM, SIGHUP, 0};
  Child children[3];
  std::string drawn[3];
  for (int i = 0; i < 3; i++) children[i] = start_child(dir + "/" + to_string(i), "no", "", i == 2 ? display : "");
  const long long before = std::time(nullptr);
  for (int i = 0; i < 3; i++) {
    started(children[i]);
    drawn[i] = state_of(children[i].ask("draw " + to_string(i) + " 4"));
    if (!ends[i]) kill(server, SIGKILL), waitpid(server, nullptr, 0);
  }
  for (int i = 0; i < 3; i++) {
    const int status = children[i].end(ends[i]);
    EXPECT_TRUE(ends[i] ? WIFSIGNALED(status) && WTERMSIG(status) == ends[i] : WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    const std::string folder = dir + "/" + to_string(i) + "/koma/recovery";
    EXPECT_EQ(snapshots(folder), std::vector<std::string>{drawn[i]});
    for (const std::string &id : snapshot_ids(folder)) {
      Snapshot s;
      EXPECT_TRUE(snapshot_read(folder, id, &s) != SnapshotRead::Ok || s.meta.time >= before);
    }
  }
}

// Two children at once in one state folder: a third, which changes nothing, offers
// neither live snapshot and writes none; once one of the two is killed, a fourth
// offers only that one's picture.
TEST(RecoveryChildren, ALiveProgramsSnapshotIsNotOffered) {
  const std::string dir = make_scratch_dir("two"), state = dir + "/state", folder = state + "/koma/recovery";
  write_file(dir + "/a.koma", document(6, 4, 3));
  Child a = start_child(state, "no", dir + "/a.koma"), b = start_child(state, "no");
  started(a), started(b);
  const std::string drawn = state_of(a.ask("draw 5 3"));
  b.ask("draw 6 3");
  for (int i = 0; i < 300 && snapshots(folder).size() < 2; i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const std::vector<std::string> both = snapshots(folder);
  ASSERT_EQ(both.size(), 2u);
  Child c = start_child(state, "no");
  EXPECT_EQ(started(c), "state " + white_state());
  c.end(SIGTERM);
  EXPECT_EQ(snapshots(folder), both);
  EXPECT_EQ(snapshot_ids(folder).size(), 2u);  // not even a lock of the third
  a.end(SIGKILL);
  Child d = start_child(state, "yes");
  EXPECT_TRUE(offered(started(d), dir + "/a.koma", drawn));
  d.end(SIGKILL), b.end(SIGKILL);
}

// As the unprivileged user, with a state folder that cannot be made: one message on
// the status line at the first snapshot, none at the next; painting goes on.
TEST(RecoveryChildren, AStateFolderThatCannotBeWrittenIsToldOnce) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  const std::string dir = make_scratch_dir("nobody");  // in the test's folder, which is root's alone
  Child c = start_child(dir + "/state", "no", "", "", true);
  EXPECT_EQ(started(c), "state " + white_state());
  const std::string first = c.ask("draw 1 3"), told = "status error... 復元用の控えを書き込めません。";
  std::string shown;
  for (int i = 0; i < 60 && (shown = c.ask("status")) != told; i++) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(shown, told);
  const std::string second = c.ask("draw 2 3");
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  EXPECT_EQ(c.ask("status").rfind("status    ( X:", 0), 0u);  // the pointer's, not the message again
  EXPECT_NE(second, first);
  const int status = c.end(SIGKILL);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_FALSE(g_file_test((dir + "/state").c_str(), G_FILE_TEST_EXISTS));
}

namespace {
// The snapshots when each dialog of the command came up.
std::string at_dialogs;

// Answers the next dialogs in turn: "no", "close", or for a chooser a path ("" cancels).
void answer(std::vector<std::string> steps, std::size_t i = 0) {
  if (i == steps.size()) return;
  answer_next_dialog([steps, i](GtkWidget *d) {
    answer(steps, i + 1);
    at_dialogs += to_string(snapshots().size());
    const std::string &s = steps[i];
    if (GTK_IS_FILE_CHOOSER(d)) {
      gtk_file_chooser_set_action(GTK_FILE_CHOOSER(d), GTK_FILE_CHOOSER_ACTION_SAVE);  // takes a path
      gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(d), s.c_str());
      gtk_dialog_response(GTK_DIALOG(d), s.empty() ? GTK_RESPONSE_CANCEL : GTK_RESPONSE_ACCEPT);
    } else if (s == "close") {
      send_delete(d);
    } else {
      gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_NO);
    }
  });
}

// Chooses the File menu's `item` from a main loop, its dialogs answered with `steps`.
void run(const char *item, std::vector<std::string> steps = {}) {
  at_dialogs.clear();
  answer(steps);
  g_idle_add([](gpointer item) -> gboolean {
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
    gtk_main_quit();
    return FALSE;
  }, find_widget(window, GTK_TYPE_MENU_ITEM, item));
  gtk_main();
}

void dot(int x) { click(drawing_area, x * dot_size + 1, 1); }

// Starts the editor anew, `doc` on its command line, the offers answered with `answers`.
void restart(std::vector<gint> answers, std::string doc = "") {
  destroy_all_windows();
  reset_editor_state();
  replies = answers;
  offers.clear();
  answer_offers();
  char prog[] = "koma", *argv[] = {prog, doc.data(), nullptr};
  koma_start(doc.empty() ? 1 : 2, argv);
}

// A snapshot of a dead program: a w x h picture of the given seed.
std::string plant(const std::string &id, int w, int h, SnapshotMeta meta, int seed) {
  Snapshot s{w, h, cells(w, h, seed), meta};
  snapshot_make_folder(snapshot_folder());
  EXPECT_TRUE(snapshot_prepare(snapshot_folder(), id, w, h, s.cells.data(), meta) && snapshot_commit(snapshot_folder(), id));
  return restored(s);
}
}  // namespace

using Recovery = GuiTest;

// Previews, picks and a scale change write nothing. A change is kept about a
// second later, not while a button is held; the snapshot goes with Save As, Save,
// undo back to the saved picture, Open, New, the prompt's No and Quit (not with
// the prompt closed), and Quit leaves no lock behind.
TEST_F(Recovery, TheSnapshotFollowsTheUnsavedChanges) {
  const std::string folder = snapshot_folder(), path = make_scratch_dir("rec") + "/p.koma";
  px_select_tool(kToolLine, nullptr);
  click(drawing_area, 5, 5), send_motion(drawing_area, 200, 90), click(drawing_area, 200, 90, 3);
  px_select_tool(kToolPicker, nullptr), click(drawing_area, 5, 5);
  answer_next_dialog([](GtkWidget *d) { gtk_button_clicked(GTK_BUTTON(find_widget(d, GTK_TYPE_BUTTON, "gtk-apply"))); });
  cb_change_scale();
  pump(1100);
  EXPECT_FALSE(g_file_test(folder.c_str(), G_FILE_TEST_EXISTS));
  px_select_tool(kToolDot, nullptr);
  now_rgb[0] = 200;  // the picker took white
  auto taken = [] {  // waits up to 3 s for the snapshot of the picture; the ms waited
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 300 && snapshots() != std::vector<std::string>{editor()}; i++) pump(10);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  };
  dot(1);
  const auto waited = taken();
  EXPECT_GE(waited, 700);
  EXPECT_LT(waited, 3000);
  send_button(drawing_area, GDK_BUTTON_PRESS, 25, 5, 1);  // held
  pump(1300);
  EXPECT_NE(snapshots(), std::vector<std::string>{editor()});
  send_button(drawing_area, GDK_BUTTON_RELEASE, 25, 5, 1);
  EXPECT_LT(taken(), 3000);
  const struct { const char *item; std::vector<std::string> steps; const char *dialogs; } cases[] = {
      {"名前を付けて保存(_A)", {path}, "1"}, {"保存(_S)", {}, ""}, {"", {}, ""}, {"開く(_O)", {"close", path}, "11"},
      {"新規(_N)", {"close", "close"}, "11"}, {"開く(_O)", {"no", ""}, "10"}, {"終了(_Q)", {"close"}, "1"}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.item);
    dot(3 + int(&c - cases));
    EXPECT_TRUE(recovery_write_now());
    EXPECT_EQ(snapshots(), std::vector<std::string>{editor()});
    if (*c.item) run(c.item, c.steps);
    else send_key(window, GDK_KEY_z, GDK_CONTROL_MASK);  // undo back to the saved picture
    EXPECT_EQ(at_dialogs + ":" + to_string(snapshots().size()), c.dialogs + std::string(":0"));
  }
  EXPECT_EQ(snapshot_ids(folder).size(), 0u);
}

// At start-up, the snapshots of dead programs come newest first, naming document
// and time; No deletes one; Yes restores picture, size, scale, name and untitled
// state, unsaved, and keeps it as this program's own, even through undo; the rest
// wait for the next start. A live program's snapshot is not offered; damaged ones
// are moved aside with a message. A document on the command line is not opened
// after Yes, and is as ever after No.
TEST_F(Recovery, PicturesOfDeadProgramsAreOfferedBack) {
  setenv("TZ", "UTC", 1), tzset();
  const std::string folder = snapshot_folder(), doc = make_scratch_dir("rec") + "/doc.koma";
  write_file(doc, document(3, 2, 5));
  const std::string gone = plant("100-1", 5, 3, {1733592000, 4, false, "/nowhere/gone.koma"}, 3);
  plant("200-2", 7, 2, {1733678400, 10, true, "無題.koma"}, 5);
  const std::string live = plant("300-3", 2, 2, {1733700000, 10, true, "無題.koma"}, 7);
  const int lock = snapshot_lock_own(folder, "300-3");
  const std::string good = read_file(folder + "/100-1.koma");
  write_file(folder + "/400-4.koma", good.substr(0, good.size() / 2));
  write_file(folder + "/500-5.koma", "garbage");
  write_file(folder + "/600-6.koma", "koma1.0\n5 x\n" + good.substr(14));
  write_file(folder + "/700-7.koma", document(5, 3, 3));
  restart({GTK_RESPONSE_NO, GTK_RESPONSE_YES});
  const std::string head = kOfferHead, ask = "\n復元しますか？";
  EXPECT_EQ(offers, (std::vector<std::string>{
                        head + "無題.koma (12月8日 17:20)\nほかにも1枚残っています。ここで復元すると、残りは次に起動したときにたずねます。" + ask,
                        head + "/nowhere/gone.koma (12月7日 17:20)" + ask}));
  EXPECT_EQ(editor(), gone);
  EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(window)) + std::string(px_status_text),
            "KOMA ver 1.0:/nowhere/gone.koma  ( 5 x 3 )error... 読めない復元用の控えを damaged に移しました。");
  EXPECT_EQ(snapshots(), (std::vector<std::string>{editor(), live}));
  EXPECT_EQ(snapshot_ids(folder + "/damaged").size(), 4u);
  dot(1), send_key(window, GDK_KEY_z, GDK_CONTROL_MASK);  // back to the restored picture, which is on no disk
  EXPECT_EQ(editor().substr(editor().find(" 4 ") + 3, 2) + to_string(snapshots().size()), "102");
  const std::string newer = plant("900-9", 4, 4, {1733600000, 3, true, "無題.koma"}, 9);
  plant("800-8", 4, 4, {1733500000, 3, true, "無題.koma"}, 8);
  restart({GTK_RESPONSE_YES}, doc);
  EXPECT_EQ(offers.size(), 1u);
  EXPECT_EQ(editor() + px_status_text, newer + "絵を復元したので " + doc + " は開いていません。");
  EXPECT_TRUE(g_file_test((folder + "/800-8.koma").c_str(), G_FILE_TEST_EXISTS));
  restart({GTK_RESPONSE_NO}, doc);
  EXPECT_EQ(offers.size(), 1u);
  const std::vector<int> opened = cells(3, 2, 5);
  EXPECT_EQ(editor() + px_status_text, hash(opened.data(), opened.size()) + " 3x2 10 00 " + doc);
  EXPECT_EQ(read_file(doc), document(3, 2, 5));
  EXPECT_EQ(snapshots(), std::vector<std::string>{live});
  close(lock);
}
