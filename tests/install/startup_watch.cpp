// Watches the root window for the first startup-notification message that a
// client sends (_NET_STARTUP_INFO_BEGIN, continued in _NET_STARTUP_INFO
// pieces of 20 bytes up to a NUL). Prints "listening" once it watches, then
// the message; exits 1 when none has ended within the given seconds.
// Usage: koma_startup_watch SECONDS
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <X11/Xlib.h>

int main(int argc, char **argv) {
  Display *display = XOpenDisplay(nullptr);
  if (argc != 2 || !display) return 2;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[1]));
  const Atom begin = XInternAtom(display, "_NET_STARTUP_INFO_BEGIN", False);
  const Atom more = XInternAtom(display, "_NET_STARTUP_INFO", False);
  // Senders broadcast to the root window with the property-change mask.
  XSelectInput(display, DefaultRootWindow(display), PropertyChangeMask);
  XSync(display, False);
  std::puts("listening");
  std::fflush(stdout);

  std::string message;
  Window sender = None;
  for (;;) {
    if (!XPending(display)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd fd{ConnectionNumber(display), POLLIN, 0};
      if (left.count() <= 0 || poll(&fd, 1, int(left.count())) <= 0) return 1;
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    const XClientMessageEvent &piece = event.xclient;
    if (event.type != ClientMessage) continue;
    if (piece.message_type == begin) message.clear(), sender = piece.window;
    else if (piece.message_type != more || piece.window != sender) continue;
    const std::size_t length = strnlen(piece.data.b, sizeof piece.data.b);
    message.append(piece.data.b, length);
    if (length < sizeof piece.data.b) return std::printf("%s\n", message.c_str()), 0;
  }
}
