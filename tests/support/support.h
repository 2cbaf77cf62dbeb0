// Helpers shared by the unit and GUI tests: captured traces, children, the
// editor's start-up state, scratch folders and files.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include <glib.h>

// Captures everything printed through g_print while it is alive.
class PrintCapture {
 public:
  PrintCapture() : outer_(now()), previous_(g_set_print_handler([](const gchar *s) { now()->text_ += s; })) { now() = this; }
  ~PrintCapture() { now() = outer_, g_set_print_handler(previous_); }
  PrintCapture(const PrintCapture &) = delete;
  PrintCapture &operator=(const PrintCapture &) = delete;
  const std::string &text() const { return text_; }
  int count(const std::string &needle) const {  // occurrences of `needle`
    int n = 0;
    for (std::size_t p = text_.find(needle); p != std::string::npos; p = text_.find(needle, p + needle.size())) n++;
    return n;
  }

 private:
  static PrintCapture *&now() { static PrintCapture *current = nullptr; return current; }
  std::string text_;
  PrintCapture *outer_;
  GPrintFunc previous_;
};

// Runs `body` in a forked child (for limits, users and mounts that must not
// reach the test program, and calls that may block) and returns the text it
// returned, followed by "[signal N]" when the child was killed instead.
std::string in_child(const std::function<std::string()> &body);
// A process that opens the named pipe `fifo` for writing, sends `head`, then
// `tail` over and over (nothing more when it is empty) until it is killed or
// its reader has gone.
pid_t pipe_writer(const std::string &fifo, const std::string &head, const std::string &tail);

// A program started with pipes to its standard input and output.
struct Child {
  GPid pid = 0;
  int in = -1, out = -1;
  std::string line();                           // its next line, "" if none comes within 30 s
  std::string ask(const std::string &command);  // sends `command` as a line, then reads one
  std::string end(int sig);                     // after `sig` (0: none) it ended: "signal N" or "exit N"
};
// Starts `args`, found on the PATH, with further GSpawnFlags.
Child spawn(std::vector<std::string> args, int flags = 0);

// Resets every global to the program's start value and allocates a white w x h
// canvas (by default of the program's start size) with no widgets (nothing is painted).
void reset_editor_state(int w = -1, int h = -1);
// n lines of a white cell as a document holds them, written out by hand.
std::string whites(int n);

// A scratch working directory holding copies of the runtime images, so that the
// program finds them and writes its temporary files away from the sources;
// created once, entered on every call.
const std::string &enter_test_workdir();
std::string make_scratch_dir(const char *name);  // a new empty folder below it
std::string read_file(const std::string &path);  // empty when it cannot be read
void write_file(const std::string &path, const std::string &bytes);
