#include "support/support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <tuple>

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include "base/globals.h"
#include "base/status.h"
#include "base/text.h"
#include "canvas/cells.h"

std::string in_child(const std::function<std::string()> &body) {
  int fds[2];
  if (pipe(fds) != 0) return "[no pipe]";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string out = body();
    _exit(write(fds[1], out.data(), out.size()) == ssize_t(out.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, std::size_t(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) out += "[signal " + std::to_string(WTERMSIG(status)) + "]";
  return out;
}

pid_t pipe_writer(const std::string &fifo, const std::string &head, const std::string &tail) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int fd = open(fifo.c_str(), O_WRONLY);
  bool open = fd >= 0 && write(fd, head.data(), head.size()) == ssize_t(head.size());
  while (open) open = tail.empty() ? (pause(), true) : write(fd, tail.data(), tail.size()) > 0;
  _exit(0);
}

std::string Child::line() {
  std::string l;
  char c;
  for (pollfd p{out, POLLIN, 0}; poll(&p, 1, 30000) > 0 && read(out, &c, 1) == 1 && c != '\n';) l += c;
  return l;
}

std::string Child::ask(const std::string &command) {
  return write(in, (command + "\n").data(), command.size() + 1) == ssize_t(command.size() + 1) ? line() : "";
}

std::string Child::end(int sig) {
  if (pid <= 0) return "never started";
  if (sig) kill(pid, sig);
  int status = 0;
  waitpid(pid, &status, 0);
  close(in), close(out), g_spawn_close_pid(pid);
  return WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status)) : "exit " + std::to_string(WEXITSTATUS(status));
}

Child spawn(std::vector<std::string> args, int flags) {
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Child c;
  const auto all = GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | flags);
  if (!g_spawn_async_with_pipes("/", argv.data(), nullptr, all, nullptr, nullptr, &c.pid, &c.in, &c.out, nullptr, nullptr))
    ADD_FAILURE() << "cannot start " << args[0];
  return c;
}

namespace {
// The program's own start values, read before any test changes them (they are
// constant-initialised, so set before this runs): a test starts as the program does.
#define KOMA_START_VALUES dot_size, now_window_left, now_window_right, now_window_top, now_window_bottom, now_tool, \
    now_rgb[0], now_rgb[1], now_rgb[2], m_b_e, tool_line_start, tool_box_start, tool_circle_start, line_x, line_y, box_x, \
    box_y, px_old_x, px_old_y, tz, save_fg, tool_bar_view_fg, color_paret_view_fg, preview_fg
const auto kStartValues = std::make_tuple(KOMA_START_VALUES);
const int kStartWidth = mv_size_widht, kStartHeight = mv_size_heigth;
}  // namespace

void reset_editor_state(int w, int h) {
  std::tie(KOMA_START_VALUES) = kStartValues;
  start_fg = 1;  // as start-up sets it
  window = px_main_window = drawing_area = g_scroll_window = statas_area = nullptr;
  tool_bar_window = cp_main_window = preview_window = nullptr;
  change_dialog = entry_width = entry_height = change_scale_dialog = entry_size = nullptr;
  px_status_text[0] = '\0';
  utf8_copy(now_file_name, sizeof now_file_name, kUntitledName);
  cnvs_allocate(w < 0 ? kStartWidth : w, h < 0 ? kStartHeight : h, true, "error");
}

std::string whites(int n) {
  std::string s;
  while (n-- > 0) s += "255,255,255\n";
  return s;
}

const std::string &enter_test_workdir() {
  static std::string dir;
  if (dir.empty()) {
    gchar *tmp = g_dir_make_tmp("koma-test-XXXXXX", nullptr);
    dir = tmp;
    g_free(tmp);
    GDir *assets = g_dir_open(KOMA_ASSETS_DIR, 0, nullptr);
    for (const gchar *name; assets && (name = g_dir_read_name(assets));)
      if (g_str_has_suffix(name, ".png")) write_file(dir + "/" + name, read_file(KOMA_ASSETS_DIR "/" + std::string(name)));
    if (assets) g_dir_close(assets);
  }
  if (chdir(dir.c_str()) != 0) g_error("cannot enter %s", dir.c_str());
  return dir;
}

std::string make_scratch_dir(const char *name) {
  static int serial = 0;
  std::string path = enter_test_workdir() + "/" + name + "-" + std::to_string(++serial);
  g_mkdir_with_parents(path.c_str(), 0755);
  return path;
}

std::string read_file(const std::string &path) {
  gchar *bytes = nullptr;
  gsize n = 0;
  std::string out = g_file_get_contents(path.c_str(), &bytes, &n, nullptr) ? std::string(bytes, n) : "";
  g_free(bytes);
  return out;
}

void write_file(const std::string &path, const std::string &bytes) {  // in place, as a user's editor would
  if (std::FILE *f = std::fopen(path.c_str(), "wb")) std::fwrite(bytes.data(), 1, bytes.size(), f), std::fclose(f);
}
