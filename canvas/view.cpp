#include "canvas/view.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/colour.h"
#include "base/drawing.h"
#include "base/globals.h"

namespace {

// Widths of a cell's white rim strokes and of its coloured strokes.
constexpr double kRimWidth = 1.8;
constexpr double kColourWidth = 1.5;

// Adds the four strokes along the edges of the cell whose corners are
// (x1, y1) and (x2, y2): each starts at a corner and ends just past the next.
void cell_strokes(cairo_t *cr, double x1, double y1, double x2, double y2) {
  constexpr double kEnd = 0.5219;
  cairo_move_to(cr, x1, y1);
  cairo_line_to(cr, x2 + kEnd, y1 + kEnd);
  cairo_move_to(cr, x2, y1);
  cairo_line_to(cr, x2 + kEnd, y2 + kEnd);
  cairo_move_to(cr, x2, y2);
  cairo_line_to(cr, x1 + kEnd, y2 + kEnd);
  cairo_move_to(cr, x1, y2);
  cairo_line_to(cr, x1 + kEnd, y1 + kEnd);
}

// a * b / 255, rounded the way the X server's compositing rounds it.
inline unsigned mul_un8(unsigned a, unsigned b) {
  const unsigned t = a * b + 0x80;
  return (t + (t >> 8)) >> 8;
}

int floor_div(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The 8-bit level the X server uses for a stroke colour component c, which
// cairo receives as c / 256 (clamped to 0..1) and hands on in 16 bits.
unsigned level_of(int c) {
  double d = c / 256.0;
  d = d < 0 ? 0 : d > 1 ? 1 : d;
  return static_cast<unsigned>(static_cast<std::uint16_t>(d * 65535.0 + 0.5)) >> 8;
}

struct Levels {
  std::uint8_t of[256];
  Levels() {
    for (int c = 0; c < 256; c++) of[c] = level_of(c);
  }
};
const Levels kLevels;

unsigned level(int c) { return static_cast<unsigned>(c) < 256 ? kLevels.of[c] : level_of(c); }

// One pixel of a cell's strokes, relative to the cell's top-left pixel.
// Painting a cell over a pixel of channel value d gives
// keep[d] + colour * m2 / 255: keep folds in the white strokes (coverage
// m1) and what the coloured strokes (coverage m2) leave of what was there.
struct StampPixel {
  int dx, dy;
  int offset;  // dy rows and dx pixels, in the image
  const std::uint8_t *keep;
  unsigned m2;
};

#ifdef __SSE2__
// Two pixels side by side, as 16-bit lanes blue, green, red, unused of the
// first then of the second: the white strokes' coverage m1 and 255 - m1,
// the coloured strokes' m2 and 255 - m2. Lanes of a pixel the strokes do
// not touch leave it as it is.
struct StampPair {
  int dx, dy, offset;
  __m128i m1, rest1, m2, rest2;
};
// Two pixels that the strokes cover wholly (m1 or m2 is 255), so that what
// they showed before does not matter: they become base + colour * m2 / 255.
struct SolidPair {
  int dx, dy, offset;
  __m128i base, m2;
};
#endif

// The coverage of one cell's strokes at one scale, the same for every cell
// since cells lie on whole pixels.
struct Stamp {
  int scale = 0;
  int left = 0, top = 0, right = -1, bottom = -1;  // extent around the cell, inclusive
  std::vector<StampPixel> pixels;
  std::vector<std::array<std::uint8_t, 256>> keeps;
  int stride = 0;  // of the image the offsets are for
#ifdef __SSE2__
  std::vector<StampPair> pairs;
  std::vector<SolidPair> solids;
#endif
};

struct Rect {
  int x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // inclusive; empty when x1 < x0
  bool empty() const { return x1 < x0 || y1 < y0; }
  Rect meet(const Rect &o) const {
    return {std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
  }
  void join(const Rect &o) {
    if (o.empty()) return;
    if (empty()) {
      *this = o;
      return;
    }
    x0 = std::min(x0, o.x0), y0 = std::min(y0, o.y0);
    x1 = std::max(x1, o.x1), y1 = std::max(y1, o.y1);
  }
};

GdkWindow *shown = nullptr;         // the drawing area's window the image belongs to
GdkGC *gc = nullptr;
Rect visible;                       // the image's extent, in window coordinates
int stride = 0;                     // visible width
std::vector<std::uint32_t> image;   // 0x00RRGGBB per pixel, rows of `stride`
std::uint32_t background = 0;
Stamp stamp;
GdkImage *staging = nullptr;        // what is handed to the server
bool staging_usable = false;        // whether the window can take it
Rect dirty;                         // changed since the last push
std::vector<Rect> clip;             // during an exposure: where painting may reach
bool exposing = false;
int batch_depth = 0;
bool batch_ready = false;           // the image was brought up to date for this batch
void (*observer)(int, int, int, int, int) = nullptr;

// Draws one pass of the strokes of a cell and reads back how much of each
// pixel they cover. They are drawn into an alpha-only surface like the
// window's, so that the X server rasterises them as it does on the window
// while the coverage keeps all 8 bits whatever the screen's depth (without
// RENDER, cairo makes it an image surface).
std::vector<unsigned> pass_coverage(GdkWindow *w, int size, int pad, double width) {
  std::vector<unsigned> cover(size * size, 0);
  CairoPtr on_window(gdk_cairo_create(w), &cairo_destroy);
  cairo_surface_t *strokes = cairo_surface_create_similar(cairo_get_target(on_window.get()),
                                                          CAIRO_CONTENT_ALPHA, size, size);
  {
    CairoPtr cr(cairo_create(strokes), &cairo_destroy);
    cairo_set_line_width(cr.get(), width);
    cell_strokes(cr.get(), pad, pad, pad + dot_size - 1, pad + dot_size - 1);
    cairo_stroke(cr.get());
  }
  cairo_surface_t *read = cairo_image_surface_create(CAIRO_FORMAT_A8, size, size);
  {
    CairoPtr cr(cairo_create(read), &cairo_destroy);
    cairo_set_source_surface(cr.get(), strokes, 0, 0);
    cairo_paint(cr.get());
  }
  cairo_surface_flush(read);
  const unsigned char *alpha = cairo_image_surface_get_data(read);
  const int bpl = cairo_image_surface_get_stride(read);
  if (cairo_surface_status(read) == CAIRO_STATUS_SUCCESS && alpha)
    for (int y = 0; y < size; y++)
      for (int x = 0; x < size; x++) cover[y * size + x] = alpha[y * bpl + x];
  cairo_surface_destroy(read);
  cairo_surface_destroy(strokes);
  return cover;
}

void build_stamp(GdkWindow *w) {
  constexpr int kPad = 3;  // the strokes reach less than two pixels past the cell
  const int size = dot_size + 2 * kPad;
  const std::vector<unsigned> white = pass_coverage(w, size, kPad, kRimWidth);
  const std::vector<unsigned> colour = pass_coverage(w, size, kPad, kColourWidth);
  stamp = Stamp();
  stamp.scale = dot_size;
  stamp.keeps.reserve(size * size);
  Rect extent;
  for (int y = 0; y < size; y++) {
    for (int x = 0; x < size; x++) {
      const unsigned m1 = white[y * size + x], m2 = colour[y * size + x];
      if (m1 == 0 && m2 == 0) continue;
      std::array<std::uint8_t, 256> keep;
      for (unsigned d = 0; d < 256; d++) keep[d] = mul_un8(m1 + mul_un8(d, 255 - m1), 255 - m2);
      stamp.keeps.push_back(keep);
      stamp.pixels.push_back({x - kPad, y - kPad, 0, stamp.keeps.back().data(), m2});
      extent.join({x - kPad, y - kPad, x - kPad, y - kPad});
    }
  }
#ifdef __SSE2__
  for (int y = 0; y < size; y++) {
    for (int x = 0; x < size; x++) {
      const unsigned m1 = white[y * size + x], m2 = colour[y * size + x];
      if (m1 == 0 && m2 == 0) continue;
      // This pixel and the next, which may lie past the strokes' extent.
      const unsigned n1 = x + 1 < size ? white[y * size + x + 1] : 0;
      const unsigned n2 = x + 1 < size ? colour[y * size + x + 1] : 0;
      auto lanes = [](unsigned a, unsigned b) {
        return _mm_setr_epi16(a, a, a, 0, b, b, b, 0);
      };
      if ((m1 == 255 || m2 == 255) && (n1 == 255 || n2 == 255))
        stamp.solids.push_back({x - kPad, y - kPad, 0,
                                lanes(mul_un8(m1, 255 - m2), mul_un8(n1, 255 - n2)),
                                lanes(m2, n2)});
      else
        stamp.pairs.push_back({x - kPad, y - kPad, 0, lanes(m1, n1), lanes(255 - m1, 255 - n1),
                               lanes(m2, n2), lanes(255 - m2, 255 - n2)});
      extent.join({x + 1 - kPad, y - kPad, x + 1 - kPad, y - kPad});
      x++;
    }
  }
#endif
  stamp.left = extent.x0, stamp.top = extent.y0, stamp.right = extent.x1,
  stamp.bottom = extent.y1;
}

// Offsets of the stamp's pixels in an image whose rows are `stride` long.
void place_stamp(int stride) {
  auto place = [stride](auto &list) {
    for (auto &p : list) p.offset = p.dy * stride + p.dx;
  };
  place(stamp.pixels);
#ifdef __SSE2__
  place(stamp.pairs);
  place(stamp.solids);
#endif
  stamp.stride = stride;
}

void forget_window() {
  if (gc) g_object_unref(gc);
  if (staging) g_object_unref(staging);
  if (shown) g_object_remove_weak_pointer(G_OBJECT(shown), reinterpret_cast<gpointer *>(&shown));
  gc = nullptr;
  staging = nullptr;
  shown = nullptr;
  visible = Rect();
  stride = 0;
  image.clear();
  dirty = Rect();
}

// Whether the image's words are the window's pixels as they are: a true
// colour visual with 8 bits a channel in the image's order. Other screens
// (16 bits, or a colour map on 8) get their pixels from the toolkit instead,
// and no image is made for them that they could not use.
bool direct_visual(const GdkVisual *v) {
  return v->type == GDK_VISUAL_TRUE_COLOR && v->red_mask == 0xFF0000 &&
         v->green_mask == 0xFF00 && v->blue_mask == 0xFF;
}

std::uint32_t background_of(GtkWidget *area) {
  const GdkColor &c = gtk_widget_get_style(area)->bg[gtk_widget_get_state(area)];
  return std::uint32_t(c.red >> 8) << 16 | std::uint32_t(c.green >> 8) << 8 | (c.blue >> 8);
}

// Follows the drawing area: its window, the scale, the background and the
// visible part, keeping what the image knows of pixels that stay visible.
bool update_view() {
  GdkWindow *w = drawing_area ? gtk_widget_get_window(drawing_area) : nullptr;
  if (!w || !gdk_window_is_viewable(w)) return false;
  if (w != shown || !gc) {
    forget_window();
    shown = w;
    g_object_add_weak_pointer(G_OBJECT(shown), reinterpret_cast<gpointer *>(&shown));
    gc = gdk_gc_new(w);
    staging_usable = direct_visual(gdk_drawable_get_visual(w));
  }
  if (stamp.scale != dot_size) {
    build_stamp(w);
    place_stamp(stride);
  }
  background = background_of(drawing_area);
  GdkRegion *region = gdk_drawable_get_visible_region(w);
  GdkRectangle box;
  gdk_region_get_clipbox(region, &box);
  gdk_region_destroy(region);
  const Rect now{box.x, box.y, box.x + box.width - 1, box.y + box.height - 1};
  if (now.x0 != visible.x0 || now.y0 != visible.y0 || now.x1 != visible.x1 ||
      now.y1 != visible.y1) {
    // Scrolling moves the pixels on the screen with the canvas; pixels newly
    // shown are exposed and painted afresh.
    std::vector<std::uint32_t> moved(std::size_t(box.width) * box.height, background);
    const Rect keep = now.meet(visible);
    for (int y = keep.y0; y <= keep.y1 && !keep.empty(); y++)
      std::copy_n(&image[(y - visible.y0) * stride + keep.x0 - visible.x0], keep.x1 - keep.x0 + 1,
                  &moved[(y - now.y0) * box.width + keep.x0 - now.x0]);
    image.swap(moved);
    visible = now;
    stride = box.width;
    if (!dirty.empty()) dirty = dirty.meet(visible);
  }
  if (stamp.stride != stride) place_stamp(stride);
  return !visible.empty();
}

bool ready() {
  if (batch_depth > 0) {
    if (!batch_ready) batch_ready = update_view();
    return batch_ready;
  }
  return update_view();
}

// The image of at least w x h pixels handed to the server, of four bytes a
// pixel in the words' order; null when the window cannot take one.
GdkImage *staging_image(int w, int h) {
  if (staging && (staging->width < w || staging->height < h)) {
    g_object_unref(staging);
    staging = nullptr;
  }
  if (staging || !staging_usable) return staging;
  staging = gdk_image_new(GDK_IMAGE_FASTEST, gdk_drawable_get_visual(shown), std::max(w, stride),
                          std::max(h, visible.y1 - visible.y0 + 1));
  if (staging && (staging->bpp != 4 || staging->byte_order != GDK_LSB_FIRST)) {
    g_object_unref(staging);
    staging = nullptr;
  }
  staging_usable = staging != nullptr;
  return staging;
}

// Hands rectangle r of the image to the server.
void push(const Rect &r) {
  const int w = r.x1 - r.x0 + 1, h = r.y1 - r.y0 + 1;
  if (GdkImage *im = staging_image(w, h)) {
    auto *mem = static_cast<std::uint8_t *>(im->mem);
    for (int y = 0; y < h; y++)
      std::copy_n(&image[(r.y0 + y - visible.y0) * stride + r.x0 - visible.x0], w,
                  reinterpret_cast<std::uint32_t *>(mem + std::size_t(y) * im->bpl));
    gdk_draw_image(shown, gc, im, 0, 0, r.x0, r.y0, w, h);
    // The server reads a shared image later; it must be done before the
    // image is written again.
    if (im->type == GDK_IMAGE_SHARED) gdk_display_sync(gdk_drawable_get_display(shown));
    return;
  }
  std::vector<guchar> rgb(std::size_t(w) * h * 3);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const std::uint32_t p = image[(r.y0 + y - visible.y0) * stride + r.x0 + x - visible.x0];
      guchar *o = &rgb[(std::size_t(y) * w + x) * 3];
      o[0] = p >> 16, o[1] = (p >> 8) & 0xFF, o[2] = p & 0xFF;
    }
  // Dithered on a colour map only, aligned to the window so that pieces
  // pushed apart match.
  gdk_draw_rgb_image_dithalign(shown, gc, r.x0, r.y0, w, h, GDK_RGB_DITHER_NORMAL, rgb.data(),
                               w * 3, r.x0, r.y0);
}

void flush() {
  if (!shown || dirty.empty()) {
    dirty = Rect();
    return;
  }
  if (exposing) {
    for (const Rect &c : clip)
      if (!c.meet(dirty).empty()) push(c.meet(dirty));
  } else {
    push(dirty);
  }
  dirty = Rect();
}

void fill_rect(const Rect &r, std::uint32_t value) {
  for (int y = r.y0; y <= r.y1; y++)
    std::fill_n(&image[(y - visible.y0) * stride + r.x0 - visible.x0], r.x1 - r.x0 + 1, value);
  dirty.join(r);
}

#ifdef __SSE2__
// a * b / 255 in each 16-bit lane, rounded as mul_un8: for t below 65536,
// (t + (t >> 8)) >> 8 equals t * 257 >> 16.
inline __m128i mul_lanes(__m128i a, __m128i b) {
  const __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(0x80));
  return _mm_mulhi_epu16(t, _mm_set1_epi16(0x0101));
}

// The whole stamp, two pixels at a time.
void composite_all(std::uint32_t *origin, unsigned r, unsigned g, unsigned b) {
  const __m128i colour = _mm_setr_epi16(b, g, r, 0, b, g, r, 0);
  const __m128i zero = _mm_setzero_si128();
  for (const StampPair &s : stamp.pairs) {
    auto *p = reinterpret_cast<__m128i *>(origin + s.offset);
    const __m128i d = _mm_unpacklo_epi8(_mm_loadl_epi64(p), zero);
    const __m128i white = _mm_add_epi16(s.m1, mul_lanes(d, s.rest1));
    const __m128i out = _mm_add_epi16(mul_lanes(colour, s.m2), mul_lanes(white, s.rest2));
    _mm_storel_epi64(p, _mm_packus_epi16(out, out));
  }
  for (const SolidPair &s : stamp.solids) {
    auto *p = reinterpret_cast<__m128i *>(origin + s.offset);
    const __m128i out = _mm_add_epi16(s.base, mul_lanes(colour, s.m2));
    _mm_storel_epi64(p, _mm_packus_epi16(out, out));
  }
}
#endif

// Paints the cell whose top-left pixel is (px, py) over the pixels of `area`.
void composite(int px, int py, unsigned r, unsigned g, unsigned b, const Rect &area) {
  const Rect whole{px + stamp.left, py + stamp.top, px + stamp.right, py + stamp.bottom};
  const Rect part = whole.meet(area);
  if (part.empty()) return;
  const bool all = part.x0 == whole.x0 && part.y0 == whole.y0 && part.x1 == whole.x1 &&
                   part.y1 == whole.y1;
  std::uint32_t *origin = &image[(py - visible.y0) * stride + px - visible.x0];
  dirty.join(part);
#ifdef __SSE2__
  if (all) {
    composite_all(origin, r, g, b);
    return;
  }
#endif
  for (const StampPixel &s : stamp.pixels) {
    if (!all && (px + s.dx < part.x0 || px + s.dx > part.x1 || py + s.dy < part.y0 ||
                 py + s.dy > part.y1))
      continue;
    std::uint32_t &d = origin[s.offset];
    const std::uint8_t *k = s.keep;
    d = (k[d >> 16] + mul_un8(r, s.m2)) << 16 | (k[(d >> 8) & 0xFF] + mul_un8(g, s.m2)) << 8 |
        (k[d & 0xFF] + mul_un8(b, s.m2));
  }
}

}  // namespace

bool view_cell(int x, int y, int r, int g, int b) {
  if (!ready()) return false;
  if (observer) observer(x, y, r, g, b);
  const int px = x * dot_size, py = y * dot_size;
  const unsigned lr = level(r), lg = level(g), lb = level(b);
  if (exposing) {
    for (const Rect &c : clip) composite(px, py, lr, lg, lb, c);
  } else {
    composite(px, py, lr, lg, lb, visible);
  }
  if (batch_depth == 0) flush();
  return true;
}

void view_row(int y, int x0, int x1, const int *cells, bool skip_white) {
  if (x0 > x1 || !ready()) return;
  auto skipped = [skip_white](const int *c) { return skip_white && px_is_white(c); };
  for (int x = x0; observer && x <= x1; x++) {
    const int *c = cells + 3 * (x - x0);
    if (!skipped(c)) observer(x, y, c[0], c[1], c[2]);
  }
  const int py = y * dot_size;
  auto composite_band = [&](const Rect &area) {
    const Rect band = Rect{x0 * dot_size + stamp.left, py + stamp.top, x1 * dot_size + stamp.right,
                           py + stamp.bottom}
                          .meet(area);
    if (band.empty()) return;
    // Cells whose strokes lie wholly inside the area need no clipping.
    const bool rows_in = py + stamp.top >= area.y0 && py + stamp.bottom <= area.y1;
    const int in0 = -floor_div(-(area.x0 - stamp.left), dot_size);
    const int in1 = floor_div(area.x1 - stamp.right, dot_size);
    std::uint32_t *row = &image[(py - visible.y0) * stride - visible.x0];
    for (int x = x0; x <= x1; x++) {
      const int *c = cells + 3 * (x - x0);
      if (skipped(c)) continue;
      const unsigned r = level(c[0]), g = level(c[1]), b = level(c[2]);
#ifdef __SSE2__
      if (rows_in && x >= in0 && x <= in1) {
        composite_all(row + x * dot_size, r, g, b);
        continue;
      }
#endif
      composite(x * dot_size, py, r, g, b, area);
    }
    dirty.join(band);
  };
  if (exposing) {
    for (const Rect &c : clip) composite_band(c);
  } else {
    composite_band(visible);
  }
  if (batch_depth == 0) flush();
}

void view_clear() {
  if (!ready()) return;
  fill_rect(visible, background);
  if (batch_depth == 0) flush();
}

void view_batch_begin() {
  if (batch_depth++ == 0) batch_ready = false;
}

void view_batch_end() {
  if (--batch_depth > 0) return;
  if (batch_ready) flush();
  batch_ready = false;
}

void view_expose_begin(const GdkRegion *region) {
  view_batch_begin();
  if (!region || !ready()) return;
  flush();  // whatever was painted before goes out unclipped
  GdkRectangle *rects = nullptr;
  gint n = 0;
  gdk_region_get_rectangles(region, &rects, &n);
  clip.clear();
  for (int i = 0; i < n; i++) {
    const Rect r = Rect{rects[i].x, rects[i].y, rects[i].x + rects[i].width - 1,
                        rects[i].y + rects[i].height - 1}
                       .meet(visible);
    if (r.empty()) continue;
    clip.push_back(r);
    // What the toolkit shows in an exposed area before it is painted.
    fill_rect(r, background);
  }
  g_free(rects);
  exposing = true;
}

void view_expose_end() {
  view_batch_end();
  exposing = false;
  clip.clear();
}

bool view_reachable_cells(int *x0, int *y0, int *x1, int *y1) {
  if (!ready()) return false;
  Rect area;
  if (exposing) {
    for (const Rect &c : clip) area.join(c);
  } else {
    area = visible;
  }
  if (area.empty()) return false;
  // Cells whose strokes reach into the area.
  *x0 = floor_div(area.x0 - stamp.right, dot_size);
  *y0 = floor_div(area.y0 - stamp.bottom, dot_size);
  *x1 = floor_div(area.x1 - stamp.left, dot_size);
  *y1 = floor_div(area.y1 - stamp.top, dot_size);
  return true;
}

void view_set_observer(void (*fn)(int, int, int, int, int)) { observer = fn; }
