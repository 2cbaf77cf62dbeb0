// Looks at the windows of a running koma from outside, as a user would see
// them: koma_window_check PID IMAGE_DIR prints
//   icon: WxH            (the main window's _NET_WM_ICON), or "icon: none"
//   tool images: N of 8  (how many of the tool-bar images IMAGE_DIR holds
//                         are shown, pixel for pixel, in the TOOL window)
// and, on standard error, the names of the images it could not find. Exits 1
// when the windows do not appear within ten seconds.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gdk-pixbuf/gdk-pixbuf.h>

namespace {
const char *const kToolImages[] = {"supoit.png", "dot.png",  "line.png",  "box.png",
                                   "box2.png",   "maru.png", "maru2.png", "nuri.png"};

Display *dpy;

// The first `max` items of a window property, empty when it is not set.
std::vector<unsigned long> property(Window w, const char *name, Atom type, long max = 2) {
  Atom got_type;
  int format;
  unsigned long n, after;
  unsigned char *data = nullptr;
  std::vector<unsigned long> out;
  if (XGetWindowProperty(dpy, w, XInternAtom(dpy, name, False), 0, max, False, type, &got_type,
                         &format, &n, &after, &data) == Success && data) {
    if (format == 32) out.assign(reinterpret_cast<unsigned long *>(data),
                                 reinterpret_cast<unsigned long *>(data) + n);
    else if (format == 8) out.assign(data, data + n);
  }
  if (data) XFree(data);
  return out;
}

std::string title(Window w) {
  const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  const std::vector<unsigned long> t = property(w, "_NET_WM_NAME", utf8, 256);
  return std::string(t.begin(), t.end());
}

// The mapped top-level windows of process `pid` titled `want` (a prefix).
Window find(unsigned long pid, const std::string &want) {
  Window root, parent, *kids = nullptr;
  unsigned n = 0;
  Window found = 0;
  XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &kids, &n);
  for (unsigned i = 0; i < n && !found; i++) {
    XWindowAttributes a;
    const std::vector<unsigned long> p = property(kids[i], "_NET_WM_PID", XA_CARDINAL);
    if (!p.empty() && p[0] == pid && title(kids[i]).rfind(want, 0) == 0 &&
        XGetWindowAttributes(dpy, kids[i], &a) && a.map_state == IsViewable)
      found = kids[i];
  }
  if (kids) XFree(kids);
  return found;
}

// Whether the opaque pixels of `image` appear somewhere in the w x h pixels.
bool shows(const std::vector<unsigned> &px, int w, int h, GdkPixbuf *image) {
  const int iw = gdk_pixbuf_get_width(image), ih = gdk_pixbuf_get_height(image);
  const int stride = gdk_pixbuf_get_rowstride(image), ch = gdk_pixbuf_get_n_channels(image);
  const guchar *ip = gdk_pixbuf_get_pixels(image);
  std::vector<std::pair<int, unsigned>> opaque;  // offset in the window, colour
  for (int y = 0; y < ih; y++)
    for (int x = 0; x < iw; x++) {
      const guchar *p = ip + y * stride + x * ch;
      if (ch == 3 || p[3] == 255)
        opaque.push_back({y * w + x, unsigned(p[0] << 16 | p[1] << 8 | p[2])});
    }
  for (int oy = 0; oy + ih <= h; oy++)
    for (int ox = 0; ox + iw <= w; ox++) {
      std::size_t k = 0;
      while (k < opaque.size() && px[oy * w + ox + opaque[k].first] == opaque[k].second) k++;
      if (k == opaque.size()) return true;
    }
  return false;
}
}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) return std::fprintf(stderr, "usage: koma_window_check PID IMAGE_DIR\n"), 2;
  const unsigned long pid = std::stoul(argv[1]);
  dpy = XOpenDisplay(nullptr);
  if (!dpy) return std::fprintf(stderr, "no display\n"), 1;
  XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });  // a window may go meanwhile

  using namespace std::chrono;
  const auto deadline = steady_clock::now() + seconds(10);
  Window main_window = 0, tool = 0;
  while (!(main_window && tool) && steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(100));
    main_window = find(pid, "KOMA ver 1.0:");
    tool = find(pid, "TOOL");
  }
  if (!main_window || !tool) return std::fprintf(stderr, "the windows did not appear\n"), 1;

  const std::vector<unsigned long> icon = property(main_window, "_NET_WM_ICON", XA_CARDINAL);
  if (icon.size() == 2) std::printf("icon: %lux%lu\n", icon[0], icon[1]);
  else std::printf("icon: none\n");

  // Other windows may cover the tool bar; raised, it is painted again.
  XRaiseWindow(dpy, tool);
  const auto painted = steady_clock::now() + seconds(3);
  std::vector<std::string> missing;
  do {
    std::this_thread::sleep_for(milliseconds(200));
    XSync(dpy, False);
    XWindowAttributes a;
    XGetWindowAttributes(dpy, tool, &a);
    XImage *shot = XGetImage(dpy, tool, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!shot) continue;
    std::vector<unsigned> px(std::size_t(a.width) * a.height);
    for (int y = 0; y < a.height; y++)
      for (int x = 0; x < a.width; x++) px[y * a.width + x] = XGetPixel(shot, x, y) & 0xFFFFFF;
    XDestroyImage(shot);
    missing.clear();
    for (const char *name : kToolImages) {
      const std::string path = std::string(argv[2]) + "/" + name;
      GdkPixbuf *image = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
      if (!image || !shows(px, a.width, a.height, image)) missing.push_back(name);
      if (image) g_object_unref(image);
    }
  } while (!missing.empty() && steady_clock::now() < painted);
  std::printf("tool images: %zu of 8\n", 8 - missing.size());
  for (const std::string &name : missing) std::fprintf(stderr, "not shown: %s\n", name.c_str());
  XCloseDisplay(dpy);
  return 0;
}
