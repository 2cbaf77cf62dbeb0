// Taking the snapshots: a timer notices changes to the picture; about a
// second after the last one, with no button held and no shape pending, the
// cells are copied in idle slices (a pointer event never waits for more than
// one) and a worker thread writes them, one write at a time. When the end
// is announced (SIGTERM, SIGHUP, the X connection lost) a last snapshot is
// written on the spot. Offering them back: at start-up, each snapshot whose
// program is gone, newest first, until one is restored.
#include "app/recovery.h"

#include <glib-unix.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtk/gtk.h>

#include "app/load_save.h"
#include "app/main_window.h"
#include "base/globals.h"
#include "base/status.h"
#include "base/text.h"
#include "canvas/history.h"
#include "files/snapshot.h"

// Last: its macros (None, Status, ...) would clash with names above.
#include <X11/Xlib.h>

namespace {
constexpr guint kTickMs = 200;
// Time without a change, from the tick that saw it, before a snapshot: the
// fourth tick after it (a little less, for the timer's jitter), about a
// second after the change. Time rather than ticks: on a busy machine late
// ticks do not add up.
constexpr gint64 kQuietUs = 750000;
// Ints copied per idle slice (2 MiB).
constexpr std::size_t kSliceInts = std::size_t(1) << 19;
constexpr int kWorkerNice = 10;
constexpr int kOfferWidth = 550;
constexpr const char *kMsgCannotKeep = "復元用の控えを書き込めません。";
constexpr const char *kMsgDamaged = "error... 読めない復元用の控えを damaged に移しました。";
constexpr const char *kOfferHead = "保存されていない絵が残っています。\n文書: ";
constexpr const char *kOfferMore =
    "ほかにも%zu枚残っています。ここで復元すると、残りは次に起動したときにたずねます。\n";
constexpr const char *kOfferQuestion = "復元しますか？";
constexpr const char *kNotOpenedHead = "絵を復元したので ";
constexpr const char *kNotOpenedTail = " は開いていません。";

// ---- taking snapshots ---------------------------------------------------

// What a snapshot shows: two equal stamps, two equal snapshots.
struct Stamp {
  unsigned long changes = 0;
  const int *cells = nullptr;
  int width = 0, height = 0, scale = 0, untitled = 0;
  std::string name;
  bool operator==(const Stamp &o) const {
    return changes == o.changes && cells == o.cells && width == o.width && height == o.height &&
           scale == o.scale && untitled == o.untitled && name == o.name;
  }
  bool operator!=(const Stamp &o) const { return !(*this == o); }
};

Stamp stamp_now() {
  return {px_cnvs_changes, px_cnvs, mv_size_widht, mv_size_heigth, dot_size, start_fg, now_file_name};
}

SnapshotMeta meta_of(const Stamp &s) {
  return {static_cast<long long>(std::time(nullptr)), s.scale, s.untitled == 1, s.name};
}

enum Result { kRunning, kWritten, kDropped, kFailed };

// The snapshot being copied and written. Made once and never freed, so
// that a write still running as the program ends finds its data.
struct Job {
  std::string folder, id;
  Stamp stamp;
  std::unique_ptr<int[]> cells;
  std::size_t size = 0, room = 0;  // ints of the picture, ints allocated
  SnapshotMeta meta;
  std::thread thread;
  std::atomic<int> result{kRunning};
  // Held for the rename: a snapshot given up meanwhile (`wanted` moved on)
  // never lands.
  std::mutex commit;
  unsigned generation = 0, wanted = 0;
};

Job *job = nullptr;  // null until recovery_start
enum class Phase { Idle, Copying, Writing } phase = Phase::Idle;
std::size_t copied = 0;
guint slice = 0;
std::string folder;    // where the snapshots are
std::string own_id;    // names this program's snapshot and lock
int own_lock = -1;     // held from this program's first snapshot on
bool on_disk = false;  // its snapshot is in the folder
Stamp tried;           // the state last written, or that failed to be
bool have_tried = false;
Stamp seen;          // the state at the last tick
gint64 seen_at = 0;  // when it was first seen (monotonic, µs)
bool failure_shown = false;
XIOErrorHandler toolkit_io_handler = nullptr;

bool busy() { return m_b_e > 0 || tool_line_start || tool_box_start || tool_circle_start; }

void show_failure_once() {
  if (failure_shown) return;
  failure_shown = true;
  px_show_failure(kMsgCannotKeep);
}

bool own_lock_held() {
  // Twice: a program starting at this moment may have taken a new lock
  // file for a dead program's leftover and removed it.
  for (int attempt = 0; attempt < 2 && own_lock < 0; attempt++)
    if (snapshot_make_folder(folder)) own_lock = snapshot_lock_own(folder, own_id);
  return own_lock >= 0;
}

void write_in_background(Job *j) {
  // Below the toolkit's thread and the X server when the processors are
  // busy (on Linux the nice value is the thread's own).
  setpriority(PRIO_PROCESS, gettid(), kWorkerNice);
  const bool ok = snapshot_prepare(j->folder, j->id, j->stamp.width, j->stamp.height,
                                   j->cells.get(), j->meta);
  std::lock_guard<std::mutex> hold(j->commit);
  if (j->generation != j->wanted) {
    snapshot_remove(j->folder, j->id);
    j->result = kDropped;
  } else {
    j->result = ok && snapshot_commit(j->folder, j->id) ? kWritten : kFailed;
  }
}

// Takes in a finished write (with `wait`, the one in flight). Returns its
// result, or kRunning when none finished.
int collect(bool wait) {
  if (phase != Phase::Writing || (!wait && job->result == kRunning)) return kRunning;
  job->thread.join();
  phase = Phase::Idle;
  const int result = job->result;
  if (result == kWritten && job->generation == job->wanted) on_disk = true;
  return result;
}

void start_writing() {
  job->meta = meta_of(job->stamp);
  job->result = kRunning;
  phase = Phase::Writing;
  job->thread = std::thread(write_in_background, job);
}

void stop_copying() {
  if (slice) g_source_remove(slice);
  slice = 0;
  if (phase == Phase::Copying) phase = Phase::Idle;
}

gboolean copy_slice(gpointer) {
  if (stamp_now() != job->stamp) {  // changed meanwhile: taken after the next pause
    slice = 0;
    phase = Phase::Idle;
    return FALSE;
  }
  const std::size_t n = std::min(kSliceInts, job->size - copied);
  std::copy_n(px_cnvs + copied, n, job->cells.get() + copied);
  copied += n;
  if (copied < job->size) return TRUE;
  slice = 0;
  start_writing();
  return FALSE;
}

void begin_snapshot() {
  tried = stamp_now();
  have_tried = true;
  if (!own_lock_held()) {
    show_failure_once();
    return;
  }
  job->folder = folder;
  job->id = own_id;
  job->stamp = tried;
  job->generation = job->wanted;
  job->size = px_cnvs ? 3 * std::size_t(mv_size_widht) * std::size_t(mv_size_heigth) : 0;
  // Not cleared: the slices touch the pages a few at a time.
  if (job->size > job->room) job->cells.reset(new int[job->room = job->size]);
  copied = 0;
  phase = Phase::Copying;
  if (job->size == 0) start_writing();
  else slice = g_idle_add(copy_slice, nullptr);
}

gboolean tick(gpointer) {
  if (collect(false) == kFailed) show_failure_once();
  if (save_fg != 1) {
    if (on_disk || phase != Phase::Idle) recovery_discard();
    return TRUE;
  }
  const Stamp now = stamp_now();
  if (now != seen) {
    seen = now;
    seen_at = g_get_monotonic_time();
    return TRUE;
  }
  if (g_get_monotonic_time() - seen_at < kQuietUs || phase != Phase::Idle || busy() ||
      (have_tried && now == tried))
    return TRUE;
  begin_snapshot();
  return TRUE;
}

// Handled in the main loop, where files may be written; then the program
// ends by the signal, as it did without a handler.
gboolean on_end_signal(gpointer sig) {
  recovery_write_now();
  std::signal(GPOINTER_TO_INT(sig), SIG_DFL);
  std::raise(GPOINTER_TO_INT(sig));
  return G_SOURCE_REMOVE;
}

// The toolkit's own handler then reports the loss and ends the program.
int on_connection_lost(Display *display) {
  recovery_write_now();
  return toolkit_io_handler ? toolkit_io_handler(display) : 0;
}

void install() {
  if (job) return;
  job = new Job;
  folder = snapshot_folder();
  own_id = std::to_string(g_get_real_time()) + "-" + std::to_string(getpid());
  g_timeout_add(kTickMs, tick, nullptr);
  g_unix_signal_add(SIGTERM, on_end_signal, GINT_TO_POINTER(SIGTERM));
  g_unix_signal_add(SIGHUP, on_end_signal, GINT_TO_POINTER(SIGHUP));
  toolkit_io_handler = XSetIOErrorHandler(on_connection_lost);
}

// ---- offering them back -------------------------------------------------

struct Found {
  std::string id;
  int lock;  // held while the offers run: no program starting meanwhile offers it too
  SnapshotMeta meta;
};

// The snapshots of programs that no longer run, newest first. Damaged ones
// are moved aside and counted; a dead program's other leftovers removed.
std::vector<Found> dead_snapshots(int *damaged) {
  std::vector<Found> found;
  for (const std::string &id : snapshot_ids(folder)) {
    const int lock = id == own_id ? -1 : snapshot_lock_dead(folder, id);
    if (lock < 0) continue;  // its program runs
    Snapshot snap;
    const SnapshotRead read = snapshot_read(folder, id, &snap);
    if (read == SnapshotRead::Ok) {
      found.push_back({id, lock, snap.meta});
    } else if (read == SnapshotRead::Damaged && !snapshot_move_aside(folder, id)) {
      close(lock);  // left where it is rather than lost
    } else {
      *damaged += read == SnapshotRead::Damaged;
      snapshot_forget(folder, id, lock);
    }
  }
  std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
    return a.meta.time != b.meta.time ? a.meta.time > b.meta.time : a.id > b.id;
  });
  return found;
}

enum class Answer { Yes, No, Later };

// A yes/no dialog like the unsaved-changes prompt, naming the document and
// the time; `more` snapshots wait behind this one.
Answer ask(const SnapshotMeta &m, std::size_t more) {
  GtkWidget *dialog = gtk_dialog_new_with_buttons(
      "", px_main_window ? GTK_WINDOW(px_main_window) : nullptr,
      GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), "gtk-no", GTK_RESPONSE_NO,
      "gtk-yes", GTK_RESPONSE_YES, nullptr);
  const std::time_t when = m.time;
  std::tm t{};
  localtime_r(&when, &t);
  char tail[kTextBufSize];
  int n = std::snprintf(tail, sizeof tail, " (%d月%d日 %02d:%02d)\n", t.tm_mon + 1, t.tm_mday,
                        t.tm_hour, t.tm_min);
  if (more > 0) n += std::snprintf(tail + n, sizeof tail - n, kOfferMore, more);
  std::snprintf(tail + n, sizeof tail - n, "%s", kOfferQuestion);
  char text[kTextBufSize];
  utf8_fit_between(text, sizeof text, kOfferHead, m.name.c_str(), tail);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))),
                    gtk_label_new(text));
  gtk_widget_set_size_request(dialog, kOfferWidth, -1);
  gtk_widget_show_all(dialog);
  const gint answer = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return answer == GTK_RESPONSE_YES ? Answer::Yes
         : answer == GTK_RESPONSE_NO ? Answer::No : Answer::Later;
}

// Puts the editor back as the snapshot shows it. Returns false when it
// could not be read again or memory ran out.
bool restore(const Found &f) {
  Snapshot snap;
  if (snapshot_read(folder, f.id, &snap) != SnapshotRead::Ok) return false;
  if (snap.meta.scale != dot_size) {
    dot_size = snap.meta.scale;
    if (window) gtk_widget_destroy(window);
    crate_main_window();
  }
  if (!px_show_picture(snap.width, snap.height, snap.cells.data())) return false;
  utf8_copy(now_file_name, sizeof now_file_name, snap.meta.name.c_str());
  start_fg = snap.meta.untitled ? 1 : 0;
  save_fg = 1;
  history_mark_unsaved();
  px_set_title(true);
  return true;
}

// The restored snapshot becomes this program's own, kept until the picture
// is saved or given up, so that a second crash still finds it.
bool adopt(const Found &f) {
  if (!own_lock_held() || !snapshot_rename(folder, f.id, own_id)) return false;
  on_disk = true;
  tried = stamp_now();
  have_tried = true;
  return true;
}

}  // namespace

bool recovery_start(const char *document) {
  install();
  int damaged = 0;
  const std::vector<Found> found = dead_snapshots(&damaged);
  bool restored = false;
  for (std::size_t i = 0; i < found.size(); i++) {
    bool gone = false;
    if (!restored) {  // the rest wait for the next start
      const Answer answer = ask(found[i].meta, found.size() - i - 1);
      if (answer == Answer::Yes) restored = restore(found[i]);
      gone = answer == Answer::No || (restored && adopt(found[i]));
    }
    if (gone) snapshot_forget(folder, found[i].id, found[i].lock);
    else close(found[i].lock);
  }
  // Shown on the status line, again at its first exposure if it comes later.
  if (damaged) px_error(kMsgDamaged);
  if (restored && document) {
    char text[kTextBufSize];
    utf8_fit_between(text, sizeof text, kNotOpenedHead, document, kNotOpenedTail);
    px_error(text);
  }
  return restored;
}

void recovery_discard() {
  if (!job) return;
  stop_copying();
  have_tried = false;
  seen = Stamp();
  if (!on_disk && phase == Phase::Idle) return;
  std::lock_guard<std::mutex> hold(job->commit);
  job->wanted++;
  snapshot_remove(folder, own_id);
  on_disk = false;
}

void recovery_quit() {
  recovery_discard();
  if (!job) return;
  collect(true);
  if (own_lock >= 0) snapshot_forget(folder, own_id, own_lock);
  own_lock = -1;
}

bool recovery_write_now() {
  if (!job || save_fg != 1) return false;
  stop_copying();
  collect(true);  // no message: the display may be gone
  if (!own_lock_held()) return false;
  std::lock_guard<std::mutex> hold(job->commit);
  const Stamp now = stamp_now();
  if (!snapshot_prepare(folder, own_id, now.width, now.height, px_cnvs, meta_of(now)) ||
      !snapshot_commit(folder, own_id))
    return false;
  on_disk = true;
  tried = now;
  have_tried = true;
  return true;
}

void recovery_begin() {
  if (job && phase == Phase::Idle) begin_snapshot();
}

bool recovery_busy() {
  if (job && collect(false) == kFailed) show_failure_once();
  return phase != Phase::Idle;
}
