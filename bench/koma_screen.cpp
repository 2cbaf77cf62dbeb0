// Painting on a real X server: the CPU time that the program and the X
// server spend on what a user waits for (an exposure, a wheel step, a fill,
// a pointer motion with a pending shape). Starts its own Xvfb when there is
// no display. Each line gives the median of several repetitions, in ms.
//   koma_screen [RUNS [ACTION]]   ACTION: a word of the action's name, to run only those
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "app/main_window.h"
#include "app/recovery.h"
#include "app/size_dialog.h"
#include "app/startup.h"
#include "base/globals.h"
#include "bench/bench_pictures.h"
#include "canvas/cells.h"
#include "canvas/repaint.h"
#include "tools/pointer.h"

namespace {

pid_t server_pid = 0;
pid_t own_server = 0;
const char *only = nullptr;  // runs only the actions whose name contains it

double cpu_ms(clockid_t clock) {
  timespec ts;
  if (clock_gettime(clock, &ts) != 0) return 0;
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The X server's process: ours, or one found by its display argument.
pid_t find_server(const std::string &display) {
  const std::string want = ":" + display.substr(display.find(':') + 1);
  for (const char *name : {"Xvfb", "Xorg", "X"}) {
    for (int pid = 2; pid < 4194304; pid++) {
      std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
      if (!in) continue;
      std::string cmd((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::vector<std::string> args;
      for (std::size_t at = 0; at < cmd.size();) {
        const std::size_t end = cmd.find('\0', at);
        args.push_back(cmd.substr(at, end - at));
        at = end == cmd.npos ? cmd.size() : end + 1;
      }
      if (args.empty()) continue;
      const std::string &exe = args[0];
      const std::size_t slash = exe.rfind('/');
      if (exe.substr(slash == exe.npos ? 0 : slash + 1) != name) continue;
      if (std::find(args.begin(), args.end(), want) != args.end() ||
          (want == ":0" && args.size() == 1))
        return pid;
    }
  }
  return 0;
}

void start_server() {
  for (int n = 90; n < 120; n++) {
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    if (access(lock.c_str(), F_OK) == 0) continue;
    const std::string display = ":" + std::to_string(n);
    own_server = fork();
    if (own_server == 0) {
      execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1280x1024x24", "-noreset",
             "-nolisten", "tcp", static_cast<char *>(nullptr));
      _exit(127);
    }
    setenv("DISPLAY", display.c_str(), 1);
    const std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
    for (int i = 0; i < 100 && access(sock.c_str(), F_OK) != 0; i++) g_usleep(50000);
    g_usleep(200000);
    server_pid = own_server;
    return;
  }
}

void stop_server() {
  if (own_server > 0) {
    kill(own_server, SIGTERM);
    waitpid(own_server, nullptr, 0);
  }
}

void pump() {
  for (int i = 0; i < 3; i++) {
    gdk_flush();
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    g_usleep(5000);
  }
}

// Program (`own`: the process, or the calling thread) and server CPU time of
// one run of `action`, and its wall time, in ms; the server has handled every
// request when it returns.
struct Cost {
  double program, server, wall;
};

Cost measure(const std::function<void()> &action, clockid_t own = CLOCK_PROCESS_CPUTIME_ID) {
  clockid_t server_clock;
  const bool have_server = server_pid > 0 && clock_getcpuclockid(server_pid, &server_clock) == 0;
  XSync(GDK_DISPLAY_XDISPLAY(gdk_display_get_default()), False);
  const double p0 = cpu_ms(own), w0 = cpu_ms(CLOCK_MONOTONIC);
  const double s0 = have_server ? cpu_ms(server_clock) : 0;
  action();
  gdk_window_process_all_updates();
  XSync(GDK_DISPLAY_XDISPLAY(gdk_display_get_default()), False);
  const double p1 = cpu_ms(own), w1 = cpu_ms(CLOCK_MONOTONIC);
  const double s1 = have_server ? cpu_ms(server_clock) : 0;
  return {p1 - p0, s1 - s0, w1 - w0};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void report(const char *what, int runs, const std::function<void()> &before,
            const std::function<void()> &action) {
  if (only && !std::strstr(what, only)) return;
  std::vector<double> prog, serv, total;
  for (int i = 0; i < runs; i++) {
    before();
    const Cost c = measure(action);
    prog.push_back(c.program);
    serv.push_back(c.server);
    total.push_back(c.program + c.server);
  }
  std::printf("%-58s %8.2f ms  (program %.2f, X server %.2f)\n", what, median(total),
              median(prog), median(serv));
  std::fflush(stdout);
}

// A pointer event with or without a recovery snapshot being written by the
// worker thread. The CPU time is the toolkit thread's (the worker's is not the
// event's) plus the X server's; median and worst of the runs, and the median
// wall time, which the worker may lengthen on a busy machine.
void report_pointer(const char *what, int runs, bool in_flight, const std::function<void()> &action) {
  if (only && !std::strstr(what, only)) return;
  std::vector<double> total, wall;
  while (int(total.size()) < runs) {
    if (in_flight && !recovery_busy()) recovery_begin(), pump();  // the copy, then the write starts
    while (!in_flight && recovery_busy()) g_usleep(1000);
    tz = 0;  // the periodic full repaint, the same either way, would be the worst
    const Cost c = measure(action, CLOCK_THREAD_CPUTIME_ID);
    if (in_flight && !recovery_busy()) continue;  // the write may have ended before the event
    total.push_back(c.program + c.server);
    wall.push_back(c.wall);
  }
  std::printf("%-58s %8.2f ms  (worst %.2f, wall %.2f)\n", what, median(total),
              *std::max_element(total.begin(), total.end()), median(wall));
  std::fflush(stdout);
}

// The longest the toolkit's thread is kept by taking a snapshot (one copy
// slice, or starting the worker), in CPU time, and the wall time until the
// snapshot is on disk.
void report_snapshot_pauses() {
  if (only && !std::strstr("pointer snapshot", only)) return;
  while (recovery_busy()) g_usleep(1000);
  double longest = 0;
  const double t0 = cpu_ms(CLOCK_MONOTONIC);
  recovery_begin();
  while (gtk_events_pending()) {
    const double s = cpu_ms(CLOCK_THREAD_CPUTIME_ID);
    gtk_main_iteration_do(FALSE);
    longest = std::max(longest, cpu_ms(CLOCK_THREAD_CPUTIME_ID) - s);
  }
  while (recovery_busy()) g_usleep(1000);
  std::printf("%-58s %8.2f ms  (on disk after %.0f ms)\n",
              "pointer held up at most by taking a snapshot", longest,
              cpu_ms(CLOCK_MONOTONIC) - t0);
  std::fflush(stdout);
}

// A new main window at `scale`, sized w x h (0: the default size).
void main_window_at(int scale, int w, int h) {
  dot_size = scale;
  gtk_widget_destroy(window);
  crate_main_window();
  if (w > 0) gtk_window_resize(GTK_WINDOW(window), w, h);
  for (int i = 0; i < 40; i++) pump();
}

void expose_all() {
  gdk_window_invalidate_rect(gtk_widget_get_window(drawing_area), nullptr, FALSE);
}

void send_event(GdkEvent *ev) {
  ev->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(drawing_area)));
  ev->any.send_event = TRUE;
  gtk_main_do_event(ev);
  gdk_event_free(ev);
}

void scroll(GdkScrollDirection dir) {
  GdkEvent *ev = gdk_event_new(GDK_SCROLL);
  ev->scroll.direction = dir;
  ev->scroll.device = gdk_device_get_core_pointer();
  send_event(ev);
}

void button(GdkEventType type, double x, double y) {
  GdkEvent *ev = gdk_event_new(type);
  ev->button.x = x;
  ev->button.y = y;
  ev->button.button = 1;
  ev->button.device = gdk_device_get_core_pointer();
  send_event(ev);
}

void motion(double x, double y) {
  GdkEvent *ev = gdk_event_new(GDK_MOTION_NOTIFY);
  ev->motion.x = x;
  ev->motion.y = y;
  ev->motion.device = gdk_device_get_core_pointer();
  send_event(ev);
}

void scroll_to(double x, double y) {
  GtkScrolledWindow *sw = GTK_SCROLLED_WINDOW(g_scroll_window);
  gtk_adjustment_set_value(gtk_scrolled_window_get_hadjustment(sw), x);
  gtk_adjustment_set_value(gtk_scrolled_window_get_vadjustment(sw), y);
  pump();
}

}  // namespace

int main(int argc, char **argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  if (argc > 2) only = argv[2];
  const char *display = std::getenv("DISPLAY");
  if (!display || !*display) start_server();
  else server_pid = find_server(display);
  gtk_set_locale();
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "koma_screen: cannot open the display\n");
    stop_server();
    return 1;
  }
  if (server_pid <= 0) std::printf("(X server process not found: program time only)\n");
  // Recovery snapshots go to a scratch folder, removed at the end.
  gchar *state = g_dir_make_tmp("koma-screen-XXXXXX", nullptr);
  g_setenv("XDG_STATE_HOME", state, TRUE);
  bench_discard_traces();
  char prog[] = "koma";
  char *args[] = {prog, nullptr};
  koma_start(1, args);
  // Nothing may cover the canvas: without a window manager the palette and
  // the tool bar lie on top of the main window.
  gtk_widget_hide(tool_bar_window);
  gtk_widget_hide(cp_main_window);
  bench_random_picture(1024, 1024);
  px_size_canvas_area();
  for (int i = 0; i < 40; i++) pump();
  std::printf("1024 x 1024 random picture, medians of %d runs, CPU time of program + X server\n",
              runs);

  auto nothing = [] {};
  report("full exposure, scale 10, default window", runs, nothing, expose_all);
  scroll_to(5000, 5000);
  int step = 0;
  report("one wheel scroll step, scale 10", runs, nothing,
         [&] { scroll(step++ % 2 ? GDK_SCROLL_UP : GDK_SCROLL_DOWN); });

  main_window_at(2, 920, 1000);
  report("full exposure, scale 2, 920 x 1000 window", runs, nothing, expose_all);

  now_tool = 6;
  now_rgb[0] = 200, now_rgb[1] = 30, now_rgb[2] = 90;
  const int cx = 230, cy = 240;
  button(GDK_BUTTON_PRESS, cx * 2 + 1, cy * 2 + 1);
  button(GDK_BUTTON_RELEASE, cx * 2 + 1, cy * 2 + 1);
  motion((cx + 200) * 2 + 1, (cy + 200) * 2 + 1);
  pump();
  int side = 0;
  report("pointer motion, pending ellipse of radius 200, scale 2", runs, nothing, [&] {
    side ^= 1;
    motion((cx + 200 + side) * 2 + 1, (cy + 200) * 2 + 1);
  });
  tool_circle_start = 0;

  cnvs_allocate(2048, 2048, true, "error");
  px_size_canvas_area();
  expose_all();
  for (int i = 0; i < 40; i++) pump();
  now_tool = 7;
  int colour = 0;
  report("fill of the whole white 2048 x 2048 canvas, scale 2", runs,
         [&] {
           // Back to white without painting: the fill then recolours every cell.
           cnvs_claer_full();
           expose_all();
           pump();
           now_rgb[0] = 40 + colour++ % 100;
         },
         [&] {
           button(GDK_BUTTON_PRESS, 301, 301);
           button(GDK_BUTTON_RELEASE, 301, 301);
         });

  bench_random_picture(2048, 2048);
  px_size_canvas_area();
  expose_all();
  for (int i = 0; i < 40; i++) pump();
  now_tool = 1;
  button(GDK_BUTTON_PRESS, 301, 301);  // held: each motion paints a cell
  for (bool in_flight : {false, true}) {
    save_fg = in_flight;  // without unsaved changes, no snapshot is ever taken
    report_pointer(in_flight ? "pointer painting a cell, snapshot being written"
                             : "pointer painting a cell, 2048 x 2048, scale 2",
                   runs * 3, in_flight, [&] {
                     side ^= 1;
                     motion(301 + 2 * side, 301);
                   });
  }
  report_snapshot_pauses();
  button(GDK_BUTTON_RELEASE, 301, 301);
  now_tool = 6;
  button(GDK_BUTTON_PRESS, cx * 2 + 1, cy * 2 + 1);
  button(GDK_BUTTON_RELEASE, cx * 2 + 1, cy * 2 + 1);
  for (bool in_flight : {false, true}) {
    save_fg = in_flight;
    report_pointer(in_flight ? "pointer, pending ellipse, snapshot being written"
                             : "pointer, pending ellipse, 2048 x 2048, scale 2",
                   runs * 3, in_flight, [&] {
                     side ^= 1;
                     motion((cx + 200 + side) * 2 + 1, (cy + 200) * 2 + 1);
                   });
  }
  save_fg = 0;
  recovery_quit();
  rmdir((std::string(state) + "/koma/recovery").c_str());
  rmdir((std::string(state) + "/koma").c_str());
  rmdir(state);
  g_free(state);
  stop_server();
  return 0;
}
