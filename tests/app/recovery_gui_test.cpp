// Recovery snapshots: taken after a pause while there are unsaved changes, gone once
// there are none, written when the end is announced, offered back at the next start.
#include <gdk/gdkkeysyms.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include "app/recovery.h"
#include "base/globals.h"
#include "base/status.h"
#include "files/document.h"
#include "files/snapshot.h"
#include "support/gui.h"
#include "tools/tool_select.h"

namespace {
using std::to_string;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr const char *kOfferHead = "保存されていない絵が残っています。\n文書: ";

// Picture, size, scale, save_fg and start_fg, name: of the editor, or as a snapshot brings them back.
std::string state(int w, int h, const int *cells, int scale, const std::string &flags, const std::string &name) {
  return to_string(std::hash<std::string>()(koma_format(w, h, cells))) + " " + to_string(w) + "x" + to_string(h) + " " +
         to_string(scale) + " " + flags + " " + name;
}
std::string editor() { return state(mv_size_widht, mv_size_heigth, px_cnvs, dot_size, to_string(save_fg) + to_string(start_fg), now_file_name); }
std::string restored(const Snapshot &s) { return state(s.width, s.height, s.cells.data(), s.meta.scale, "1" + to_string(s.meta.untitled), s.meta.name); }
std::vector<int> cells(int w, int h, int seed) {  // a picture made up of the seed, white for 0
  std::vector<int> c(3 * w * h);
  for (std::size_t i = 0; i < c.size(); i++) c[i] = seed ? int(i * seed % 256) : 255;
  return c;
}
std::string document(int w, int h, int seed) { return koma_format(w, h, cells(w, h, seed).data()); }
std::string white() { return state(64, 64, cells(64, 64, 0).data(), 10, "01", "無題.koma"); }

// The snapshots in `folder` in their ids' order, as restored() gives them ("old" if taken before `since`).
std::vector<std::string> snapshots(const std::string &folder = snapshot_folder(), long long since = 0) {
  std::vector<std::string> ids = snapshot_ids(folder), out;
  std::sort(ids.begin(), ids.end());
  for (const std::string &id : ids)
    if (Snapshot s; snapshot_read(folder, id, &s) == SnapshotRead::Ok) out.push_back(s.meta.time < since ? "old" : restored(s));
  return out;
}

// Answers the offers of this round in turn, the last reply for any further ones; their texts land in `offers`.
std::vector<std::string> offers;
int round = 0;
void answer_offers(std::vector<gint> replies, int in_round = ++round) {
  answer_next_dialog([replies, in_round](GtkWidget *d) {
    GtkWidget *label = find_widget(d, GTK_TYPE_LABEL);
    if (in_round != round || !label || std::string(gtk_label_get_text(GTK_LABEL(label))).rfind(kOfferHead, 0)) return;
    offers.push_back(gtk_label_get_text(GTK_LABEL(label)));
    answer_offers(replies.size() > 1 ? std::vector<gint>(replies.begin() + 1, replies.end()) : replies, in_round);
    gtk_dialog_response(GTK_DIALOG(d), replies[0]);
  });
}

void say(const std::string &l) { if (write(1, (l + "\n").data(), l.size() + 1) != ssize_t(l.size() + 1)) _exit(3); }

// `n` random strokes, shapes and fills through events, an undo among them, sometimes a new scale.
void draw(unsigned seed, unsigned n) {
  std::mt19937 rng(seed);
  auto x = [&] { return double(rng() % mv_size_widht * dot_size + dot_size / 2); };
  auto y = [&] { return double(rng() % mv_size_heigth * dot_size + dot_size / 2); };
  for (unsigned i = 0; i < n; i++) {
    for (int &c : now_rgb) c = rng() % 256;
    const int tool = std::array{kToolDot, kToolDot, kToolLine, kToolRect, kToolEllipse, kToolFill}[rng() % 6];
    const guint button = tool == kToolDot && rng() % 2 ? 3 : 1;
    px_select_tool(tool, nullptr);
    send_button(drawing_area, GDK_BUTTON_PRESS, x(), y(), button);
    for (int k = 0; k < 3; k++) send_motion(drawing_area, x(), y());
    send_button(drawing_area, GDK_BUTTON_RELEASE, x(), y(), button);
    if (tool_line_start || tool_box_start || tool_circle_start) click(drawing_area, x(), y());
    if (i == 1 && rng() % 2) send_key(window, GDK_KEY_z, GDK_CONTROL_MASK);
  }
  if (rng() % 3 == 0) run("スケールの変更", {to_string(2 + rng() % 9)});
  for (int i = 0; i < 300 && !gtk_widget_get_mapped(drawing_area); i++) pump(10);
}

// This program as a child: the editor, Yes to each offer, says how many it had and the state; then,
// until its input ends, "draw SEED N" draws and says the state, anything else the status line.
int recovery_child(int argc, char **argv) {
  g_set_print_handler([](const gchar *) {});  // the traces are not what it reports
  gtk_set_locale(), gtk_init(&argc, &argv);
  answer_offers({GTK_RESPONSE_YES}), start_editor(argc == 2 ? argv[1] : "");
  say(to_string(offers.size()) + " " + editor());
  g_io_add_watch(g_io_channel_unix_new(0), GIOCondition(G_IO_IN | G_IO_HUP), [](GIOChannel *in, GIOCondition, gpointer) -> gboolean {
    g_autofree gchar *line = nullptr;
    unsigned seed = 0, n = 0;
    if (g_io_channel_read_line(in, &line, nullptr, nullptr, nullptr) != G_IO_STATUS_NORMAL) return gtk_main_quit(), FALSE;
    std::sscanf(line, "draw %u %u", &seed, &n) == 2 ? (draw(seed, n), say(editor())) : say(px_status_text);
    return TRUE;
  }, nullptr);
  return gtk_main(), 0;
}
const bool registered = (gui_test_child = recovery_child, true);

// The child, `doc` on its command line, its snapshots in `state`.
Child start_child(const std::string &state, const std::string &doc = "", const std::string &display = "", bool nobody = false) {
  g_autofree gchar *self = g_file_read_link("/proc/self/exe", nullptr);
  std::vector<std::string> args = {"env", kTestChildVariable + std::string("=1"), "XDG_STATE_HOME=" + state, self};
  if (!display.empty()) args.insert(args.begin() + 1, "DISPLAY=" + display);
  if (!doc.empty()) args.push_back(doc);
  if (nobody) args.insert(args.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  return spawn(args);
}

// Two children at once in one state folder, with a document of pair `c`'s size and untitled, each killed
// twice 1.5 to 2 s after its last change and started again: the new one offers only the dead one's picture,
// not the live one's, and Yes brings back exactly its picture, size, scale and name (the document then not
// opened). A start that changes nothing writes nothing, not even a lock. Then, right after a change, SIGTERM
// (in pair 0 the loss of its X server) and SIGHUP end them as before, each leaving a snapshot of its picture.
void two_at_once(const std::string &dir, int c) {
  const std::string state = dir + "/state" + to_string(c), doc = dir + "/" + to_string(c) + ".koma", folder = state + "/koma/recovery";
  SCOPED_TRACE(state);
  write_file(doc, document(3 + 8 * c, 40 - 6 * c, c + 1));
  Child x = c ? Child() : spawn({"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-noreset", "-nolisten", "tcp"},
                                G_SPAWN_STDERR_TO_DEV_NULL);
  std::mt19937 rng(c);
  Child kids[2];
  std::string drawn[2];
  Clock::time_point changed[2];
  for (int k = 0; k < 6; k++) {
    const int i = k % 2;
    if (k == 4) {
      Child idle = start_child(state);
      EXPECT_EQ(idle.line(), "0 " + white());
      idle.end(SIGTERM);
    }
    if (k >= 2) {
      std::this_thread::sleep_until(std::max(changed[i] + 1500ms, Clock::now()) + std::chrono::milliseconds(rng() % 500));
      EXPECT_EQ(kids[i].end(SIGKILL), "signal 9");
    }
    kids[i] = start_child(state, i ? "" : doc, k == 4 && !c ? ":" + x.line() : "");
    std::string start = kids[i].line();
    if (k >= 2 && !i) start += "|" + kids[i].ask("status");
    EXPECT_EQ(start.substr(0, k < 2 ? 2 : start.npos), k < 2 ? "0 " : "1 " + drawn[i] + (i ? "" : "|絵を復元したので " + doc + " は開いていません。"));
    drawn[i] = kids[i].ask("draw " + to_string(c * 100 + k) + " 5");
    changed[i] = Clock::now();
  }
  const long long before = std::time(nullptr);
  for (int i = 0; i < 2; i++) drawn[i] = kids[i].ask("draw " + to_string(c * 100 + 50 + i) + " 4");
  if (!c) x.end(SIGKILL);
  EXPECT_EQ(kids[0].end(c ? SIGTERM : 0) + ", " + kids[1].end(SIGHUP), (c ? "signal 15" : "exit 1") + std::string(", signal 1"));
  EXPECT_EQ(snapshots(folder, before), (std::vector<std::string>{drawn[0], drawn[1]}));
  EXPECT_EQ(snapshot_ids(folder).size(), 2u);
}
}  // namespace

TEST(RecoveryChildren, KillsLoseNothingAndTheAnnouncedEndLeavesTheLastPicture) {  // 20 kills in five pairs
  const std::string dir = make_scratch_dir("pairs");
  std::vector<std::thread> pairs;
  for (int c = 0; c < 5; c++) pairs.emplace_back(two_at_once, dir, c);
  for (std::thread &t : pairs) t.join();
}

// As the unprivileged user, with a state folder that cannot be made: one message on
// the status line at the first snapshot, none at the next; painting goes on.
TEST(RecoveryChildren, AStateFolderThatCannotBeWrittenIsToldOnce) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  const std::string state = make_scratch_dir("nobody") + "/state", told = "error... 復元用の控えを書き込めません。";
  Child c = start_child(state, "", "", true);  // in the test's folder, which is root's alone
  EXPECT_EQ(c.line(), "0 " + white());
  const std::string first = c.ask("draw 1 3");
  std::string shown;
  for (int i = 0; i < 60 && (shown = c.ask("status")) != told; i++) std::this_thread::sleep_for(50ms);
  EXPECT_EQ(shown, told);
  EXPECT_NE(c.ask("draw 2 3"), first);
  std::this_thread::sleep_for(1300ms);
  EXPECT_EQ(c.ask("status").rfind("   ( X:", 0), 0u);  // the pointer's, not the message again
  EXPECT_EQ(c.end(SIGKILL), "signal 9");
  EXPECT_FALSE(g_file_test(state.c_str(), G_FILE_TEST_EXISTS));
}

namespace {
void dot(int x) { click(drawing_area, x * dot_size + 1, 1); }
void run_for(int ms) { for (int i = 0; i < ms / 10; i++) pump(10); }  // the snapshot timer's ticks too

void restart(std::vector<gint> replies, const std::string &doc = "") { offers.clear(), answer_offers(replies), start_editor(doc); }

// A snapshot of a dead program: a w x h picture of the given seed.
std::string plant(const std::string &id, int w, int h, SnapshotMeta meta, int seed) {
  const Snapshot s{w, h, cells(w, h, seed), meta};
  snapshot_make_folder(snapshot_folder());
  EXPECT_TRUE(snapshot_prepare(snapshot_folder(), id, w, h, s.cells.data(), meta) && snapshot_commit(snapshot_folder(), id));
  return restored(s);
}
}  // namespace

using Recovery = GuiTest;

// Previews, picks and a scale change write nothing. A change is kept about a second later, not while a
// button is held; the snapshot goes with Save As, Save, undo back to the saved picture, Open, New, the
// prompt's No and Quit (not with the prompt closed), and Quit leaves no lock behind.
TEST_F(Recovery, TheSnapshotFollowsTheUnsavedChanges) {
  const std::string folder = snapshot_folder(), path = make_scratch_dir("rec") + "/p.koma";
  px_select_tool(kToolLine, nullptr);
  click(drawing_area, 5, 5), send_motion(drawing_area, 200, 90), click(drawing_area, 200, 90, 3);
  px_select_tool(kToolPicker, nullptr), click(drawing_area, 5, 5), run("スケールの変更", {"10"}), run_for(1100);
  EXPECT_FALSE(g_file_test(folder.c_str(), G_FILE_TEST_EXISTS));
  px_select_tool(kToolDot, nullptr), now_rgb[0] = 200;  // the picker took white
  auto taken = [] {  // waits up to 3 s for the snapshot of the picture; the ms waited
    const auto t0 = Clock::now();
    for (int i = 0; i < 300 && snapshots() != std::vector<std::string>{editor()}; i++) pump(10);
    return (Clock::now() - t0) / 1ms;
  };
  dot(1);
  EXPECT_NEAR(taken(), 1850, 1149);  // 0.7 to 3 s
  send_button(drawing_area, GDK_BUTTON_PRESS, 25, 5, 1), run_for(1300);  // held
  EXPECT_NE(snapshots(), std::vector<std::string>{editor()});
  send_button(drawing_area, GDK_BUTTON_RELEASE, 25, 5, 1);
  EXPECT_LT(taken(), 3000);
  const struct { const char *item; std::vector<std::string> steps; std::size_t left; } cases[] = {
      {"名前を付けて保存(_A)", {path}, 0}, {"保存(_S)", {}, 0}, {nullptr, {}, 0}, {"開く(_O)", {"close", ""}, 1},
      {"開く(_O)", {"close", path}, 0}, {"新規(_N)", {"close", "64 64"}, 0}, {"開く(_O)", {"gtk-no", ""}, 0}, {"終了(_Q)", {"close"}, 0}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.item ? c.item : "undo back to the saved picture");
    dot(3 + int(&c - cases));
    EXPECT_TRUE(recovery_write_now());
    EXPECT_EQ(snapshots(), std::vector<std::string>{editor()});
    c.item ? (void)run(c.item, c.steps) : send_key(window, GDK_KEY_z, GDK_CONTROL_MASK);
    EXPECT_EQ(snapshots().size(), c.left);
  }
  EXPECT_EQ(snapshot_ids(folder).size(), 0u);
}

// At start-up the snapshots of dead programs come newest first, naming document and time; No deletes one;
// Yes restores picture, size, scale, name and untitled state, unsaved even through undo, keeps it as this
// program's own and leaves the rest for the next start. A live program's snapshot is not offered; a damaged
// one is moved aside with a message. After No a document on the command line opens as ever.
TEST_F(Recovery, PicturesOfDeadProgramsAreOfferedBack) {
  setenv("TZ", "UTC", 1), tzset();
  const std::string folder = snapshot_folder(), doc = make_scratch_dir("rec") + "/doc.koma", head = kOfferHead, ask = "\n復元しますか？";
  write_file(doc, document(3, 2, 5));
  const std::string older = plant("200-2", 4, 4, {1733500000, 3, true, "無題.koma"}, 8);
  const std::string gone = plant("300-3", 5, 3, {1733592000, 4, false, "/nowhere/gone.koma"}, 3);
  const std::string live = plant("500-5", 2, 2, {1733700000, 10, true, "無題.koma"}, 7);
  plant("400-4", 7, 2, {1733678400, 10, true, "無題.koma"}, 5);
  write_file(folder + "/600-6.koma", "koma1.0\n5 x\n" + read_file(folder + "/300-3.koma").substr(14));  // a wrong size line
  const int lock = snapshot_lock_own(folder, "500-5");
  restart({GTK_RESPONSE_NO, GTK_RESPONSE_YES});
  auto more = [](int n) { return "\nほかにも" + to_string(n) + "枚残っています。ここで復元すると、残りは次に起動したときにたずねます。"; };
  EXPECT_EQ(offers, (std::vector<std::string>{head + "無題.koma (12月8日 17:20)" + more(2) + ask, head + "/nowhere/gone.koma (12月7日 17:20)" + more(1) + ask}));
  EXPECT_EQ(editor() + gtk_window_get_title(GTK_WINDOW(window)) + px_status_text,
            gone + "KOMA ver 1.0:/nowhere/gone.koma  ( 5 x 3 )error... 読めない復元用の控えを damaged に移しました。");
  EXPECT_EQ(snapshots(), (std::vector<std::string>{editor(), older, live}));
  EXPECT_EQ(snapshot_ids(folder + "/damaged"), std::vector<std::string>{"600-6"});
  dot(1), send_key(window, GDK_KEY_z, GDK_CONTROL_MASK);  // back to the restored picture, which is on no disk
  EXPECT_EQ(editor() + " " + to_string(snapshots().size()), gone + " 3");
  restart({GTK_RESPONSE_NO}, doc);
  EXPECT_EQ(offers, std::vector<std::string>{head + "無題.koma (12月6日 15:46)" + ask});
  EXPECT_EQ(editor() + px_status_text + read_file(doc), state(3, 2, cells(3, 2, 5).data(), 10, "00", doc) + document(3, 2, 5));
  EXPECT_EQ(snapshots(), std::vector<std::string>{live});
  close(lock);
}
