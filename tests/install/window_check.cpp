// Looks at the windows of a running koma from outside, as a user sees them:
// koma_window_check PID IMAGE_DIR prints "icon: WxH" (the main window's
// _NET_WM_ICON) or "icon: none", then "tool images: N of 8", how many of the
// tool-bar images in IMAGE_DIR the TOOL window shows pixel for pixel. Exits 1
// when the windows do not appear within ten seconds.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gdk-pixbuf/gdk-pixbuf.h>

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

// Whether the opaque pixels of `image` appear somewhere in `shot`.
bool shows(XImage *shot, GdkPixbuf *image) {
  const int iw = gdk_pixbuf_get_width(image), ih = gdk_pixbuf_get_height(image), ch = gdk_pixbuf_get_n_channels(image);
  std::vector<std::pair<int, int>> opaque;  // x, y in the image
  for (int y = 0; y < ih; y++)
    for (int x = 0; x < iw; x++)
      if (ch == 3 || gdk_pixbuf_get_pixels(image)[y * gdk_pixbuf_get_rowstride(image) + x * ch + 3] == 255)
        opaque.emplace_back(x, y);
  auto colour = [&](int x, int y) {
    const guchar *p = gdk_pixbuf_get_pixels(image) + y * gdk_pixbuf_get_rowstride(image) + x * ch;
    return unsigned(p[0] << 16 | p[1] << 8 | p[2]);
  };
  for (int oy = 0; oy + ih <= shot->height; oy++)
    for (int ox = 0; ox + iw <= shot->width; ox++) {
      std::size_t k = 0;
      while (k < opaque.size() && (XGetPixel(shot, ox + opaque[k].first, oy + opaque[k].second) & 0xFFFFFF) ==
                                      colour(opaque[k].first, opaque[k].second))
        k++;
      if (k == opaque.size()) return true;
    }
  return false;
}
}  // namespace

int main(int argc, char **argv) {
  if (argc != 3 || !(dpy = XOpenDisplay(nullptr))) return std::fprintf(stderr, "usage: koma_window_check PID IMAGE_DIR\n"), 2;
  XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });  // a window may go meanwhile
  const unsigned long pid = std::stoul(argv[1]);
  Window main_window = 0, tool = 0;
  for (int i = 0; i < 100 && !(main_window && tool); i++, usleep(100000))
    main_window = find(pid, "KOMA ver 1.0:"), tool = find(pid, "TOOL");
  if (!main_window || !tool) return std::fprintf(stderr, "the windows did not appear\n"), 1;
  const std::vector<unsigned long> icon = property(main_window, "_NET_WM_ICON", XA_CARDINAL);
  icon.size() == 2 ? std::printf("icon: %lux%lu\n", icon[0], icon[1]) : std::printf("icon: none\n");
  XRaiseWindow(dpy, tool);  // other windows may cover it; raised, it is painted again
  int shown = 0;
  for (int round = 0; round < 15 && shown < 8; round++, usleep(200000)) {
    XSync(dpy, False);
    XWindowAttributes a;
    XGetWindowAttributes(dpy, tool, &a);
    XImage *shot = XGetImage(dpy, tool, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    shown = 0;
    for (const char *name : {"supoit", "dot", "line", "box", "box2", "maru", "maru2", "nuri"}) {
      GdkPixbuf *image = gdk_pixbuf_new_from_file((std::string(argv[2]) + "/" + name + ".png").c_str(), nullptr);
      shown += shot && image && shows(shot, image);
      if (image) g_object_unref(image);
    }
    if (shot) XDestroyImage(shot);
  }
  std::printf("tool images: %d of 8\n", shown);
  XCloseDisplay(dpy);
  return 0;
}
