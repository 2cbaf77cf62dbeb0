#include "tools/raster.h"

#include <cmath>
#include <cstddef>
#include <utility>

#include <glib.h>

#include "base/colour.h"
#include "base/globals.h"
#include "canvas/cells.h"

namespace {
// Stand-in for the y extent of a line within one row: small enough never to
// move the line off its row, yet it keeps a single point in the steep branch.
constexpr double kFlatExtent = 1e-7;
// The ellipse sweep starts a little off the axis and steps finely enough that
// neighbouring samples fall into neighbouring cells.
constexpr double kSweepStart = 0.4;
constexpr double kSweepStep = 0.005;

// Cells are found by truncation toward zero, never by rounding.
int cell(double v) { return static_cast<int>(v); }

double square(double v) { return std::pow(v, 2.0); }

// The sweep visits most cells many times: only the first visit writes. A
// cell off the canvas reads as -1, -1, -1, which px_dot then drops.
void plot(int *buf, int x, int y, int r, int g, int b) {
  static const int kOff[3] = {-1, -1, -1};
  const bool on = buf && static_cast<unsigned>(x) < static_cast<unsigned>(mv_size_widht) &&
                  static_cast<unsigned>(y) < static_cast<unsigned>(mv_size_heigth);
  const int *c = on ? buf + 3 * (x + std::size_t(y) * mv_size_widht) : kOff;
  if (px_same_rgb(c, now_rgb)) return;
  px_dot(buf, x, y, r, g, b);
}
}  // namespace

int get_l(int a, int b) { return a > b ? a - b : b - a; }

void px_line(int *buf, int x1, int y1, int x2, int y2, int r, int g, int b) {
  if (y1 > y2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  // Extents in double, so that far-apart endpoints cannot overflow an int.
  const double lx = std::fabs(double(x2) - double(x1));
  const double ly = y1 == y2 ? kFlatExtent : double(y2) - double(y1);
  const double sx = x2 >= x1 ? 1.0 : -1.0;
  if (lx >= ly) {
    const double slope = ly / lx;
    const int n = static_cast<int>(lx);
    for (int i = 0; i <= n; i++) px_dot(buf, cell(x1 + i * sx), cell(y1 + i * slope), r, g, b);
  } else {
    const double slope = lx / ly;
    const int n = static_cast<int>(ly);
    for (int i = 0; i <= n; i++) px_dot(buf, cell(x1 + i * slope * sx), cell(y1 + double(i)), r, g, b);
  }
}

void px_box(int *buf, int x1, int y1, int x2, int y2, int r, int g, int b) {
  px_line(buf, x1, y1, x2, y1, r, g, b);
  px_line(buf, x2, y1, x2, y2, r, g, b);
  px_line(buf, x2, y2, x1, y2, r, g, b);
  px_line(buf, x1, y2, x1, y1, r, g, b);
}

void px_circle(int *buf, int x1, int y1, int x2, int y2, int r, int g, int b) {
  const double la = get_l(x1, x2);
  const double lb = get_l(y1, y2);
  g_print("circle la:%lf,lb:%lf , x1:%d , x2:%d , y1:%d , y2:%d\n", la, lb, x1, x2, y1, y2);
  if (lb > la) {
    // Taller than wide: sweep the x offset.
    for (double t = kSweepStart; t < la; t += kSweepStep) {
      const double u = std::sqrt(square(la) - square(t)) * (lb / la);
      plot(buf, cell(x1 + t), cell(y1 + u), r, g, b);
      plot(buf, cell(x1 - t), cell(y1 - u), r, g, b);
      plot(buf, cell(x1 + t), cell(y1 - u), r, g, b);
      plot(buf, cell(x1 - t), cell(y1 + u), r, g, b);
    }
  } else {
    // Wider than tall, or a circle: sweep the y offset.
    for (double t = kSweepStart; t < lb; t += kSweepStep) {
      const double v = std::sqrt(square(lb) - square(t)) * (la / lb);
      plot(buf, cell(x1 + v), cell(y1 + t), r, g, b);
      plot(buf, cell(x1 - v), cell(y1 - t), r, g, b);
      plot(buf, cell(x1 + v), cell(y1 - t), r, g, b);
      plot(buf, cell(x1 - v), cell(y1 + t), r, g, b);
    }
  }
}
