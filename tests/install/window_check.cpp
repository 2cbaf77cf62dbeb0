// Looks at the windows of a running koma from outside, as a user sees them:
// koma_window_check PID [WANT] prints "icon: WxH" (the main window's
// _NET_WM_ICON) or "icon: none", then "tool window: " and a checksum of the
// TOOL window's pixels, waiting up to three seconds for it to become WANT (the
// checksum of a run that shows every image). Exits 1 when the windows do not
// appear within ten seconds.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <glib.h>

namespace {
Display *dpy;

// The first `max` items of a window property (8 or 32 bits), empty when unset.
std::vector<unsigned long> property(Window w, const char *name, Atom type, long max = 2) {
  Atom got;
  int format;
  unsigned long n, after;
  unsigned char *data = nullptr;
  std::vector<unsigned long> out;
  if (XGetWindowProperty(dpy, w, XInternAtom(dpy, name, False), 0, max, False, type, &got, &format, &n,
                         &after, &data) == Success && data)
    for (unsigned long i = 0; i < n; i++)
      out.push_back(format == 32 ? reinterpret_cast<unsigned long *>(data)[i] : data[i]);
  if (data) XFree(data);
  return out;
}

// The shown top-level window of process `pid` whose title starts with `title`.
Window find(unsigned long pid, const std::string &title) {
  Window root, parent, *kids = nullptr, found = 0;
  unsigned n = 0;
  XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &kids, &n);
  for (unsigned i = 0; i < n && !found; i++) {
    const std::vector<unsigned long> p = property(kids[i], "_NET_WM_PID", XA_CARDINAL);
    const std::vector<unsigned long> t = property(kids[i], "_NET_WM_NAME", XInternAtom(dpy, "UTF8_STRING", False), 256);
    XWindowAttributes a;
    if (!p.empty() && p[0] == pid && std::string(t.begin(), t.end()).rfind(title, 0) == 0 &&
        XGetWindowAttributes(dpy, kids[i], &a) && a.map_state == IsViewable)
      found = kids[i];
  }
  if (kids) XFree(kids);
  return found;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2 || !(dpy = XOpenDisplay(nullptr))) return std::fprintf(stderr, "usage: koma_window_check PID [WANT]\n"), 2;
  XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });  // a window may go meanwhile
  const unsigned long pid = std::stoul(argv[1]);
  Window main_window = 0, tool = 0;
  for (int i = 0; i < 100 && !(main_window && tool); i++, usleep(100000))
    main_window = find(pid, "KOMA ver 1.0:"), tool = find(pid, "TOOL");
  if (!main_window || !tool) return std::fprintf(stderr, "the windows did not appear\n"), 1;
  const std::vector<unsigned long> icon = property(main_window, "_NET_WM_ICON", XA_CARDINAL);
  icon.size() == 2 ? std::printf("icon: %lux%lu\n", icon[0], icon[1]) : std::printf("icon: none\n");
  XRaiseWindow(dpy, tool);  // other windows may cover it; raised, it is painted again
  std::string sum, last;
  for (int round = 0; round < 15 && (argc > 2 ? sum != argv[2] : round < 5 || sum != last); round++, usleep(200000)) {
    XSync(dpy, False);
    XWindowAttributes a;
    XGetWindowAttributes(dpy, tool, &a);
    XImage *shot = XGetImage(dpy, tool, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    gchar *hex = shot ? g_compute_checksum_for_data(G_CHECKSUM_SHA1, reinterpret_cast<guchar *>(shot->data),
                                                    gsize(shot->bytes_per_line) * shot->height) : nullptr;
    last = sum, sum = hex ? hex : "none";
    g_free(hex);
    if (shot) XDestroyImage(shot);
  }
  std::printf("tool window: %s\n", sum.c_str());
  XCloseDisplay(dpy);
  return 0;
}
