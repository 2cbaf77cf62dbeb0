#include "tools/pointer.h"

#include <algorithm>
#include <cstdio>

#include "base/globals.h"
#include "base/status.h"
#include "canvas/cells.h"
#include "canvas/history.h"
#include "canvas/repaint.h"
#include "canvas/view.h"
#include "tools/fill.h"
#include "tools/raster.h"
#include "tools/tool_select.h"
#include "tools/undo.h"

namespace {
// Motion events between two periodic full repaints of the canvas, which
// tidy up whatever the incremental painting left on the screen.
constexpr int kRepaintAfter = 600;
constexpr guint kLeft = 1;
constexpr guint kRight = 3;

// Pointer position in screen units to cell, truncated toward zero: a pointer
// just left of or above the canvas still gives cell 0.
int to_cell(double v) { return static_cast<int>(v / dot_size); }

// Opposite corner of a square from the stored corner toward the pointer cell:
// the side is the larger of the two extents.
void square_corner(int x, int y, int *cx, int *cy) {
  const int d = std::max(get_l(x, box_x), get_l(y, box_y));
  *cx = box_x + (x < box_x ? -d : d);
  *cy = box_y + (y < box_y ? -d : d);
}

// Radius of a circle around the stored centre reaching the pointer cell.
int circle_radius(int x, int y) { return std::max(get_l(box_x, x), get_l(box_y, y)); }

// Draws the shape of the current tool from its stored point to cell (x, y)
// into `buf`. Tools without a two-point shape draw nothing.
void draw_shape(int *buf, int x, int y) {
  const int *c = now_rgb;
  switch (now_tool) {
    case kToolLine:
      px_line(buf, line_x, line_y, x, y, c[0], c[1], c[2]);
      break;
    case kToolSquare: {
      int cx, cy;
      square_corner(x, y, &cx, &cy);
      px_box(buf, box_x, box_y, cx, cy, c[0], c[1], c[2]);
      break;
    }
    case kToolRect:
      px_box(buf, box_x, box_y, x, y, c[0], c[1], c[2]);
      break;
    case kToolCircle: {
      const int rad = circle_radius(x, y);
      px_circle(buf, box_x, box_y, box_x + rad, box_y + rad, c[0], c[1], c[2]);
      break;
    }
    case kToolEllipse:
      px_circle(buf, box_x, box_y, x, y, c[0], c[1], c[2]);
      break;
    default:
      break;
  }
}

// The pending flag of the current tool's shape family, or null for tools
// that place no shape.
int *pending_flag() {
  switch (now_tool) {
    case kToolLine: return &tool_line_start;
    case kToolSquare:
    case kToolRect: return &tool_box_start;
    case kToolCircle:
    case kToolEllipse: return &tool_circle_start;
    default: return nullptr;
  }
}

// A left click either stores the first point or completes the shape; a right
// click forgets a pending first point.
void shape_press(guint button, int x, int y) {
  int *flag = pending_flag();
  if (button == kRight) {
    *flag = 0;
    return;
  }
  if (button != kLeft) return;
  if (*flag == 0) {
    *flag = 1;
    if (now_tool == kToolLine) {
      line_x = x;
      line_y = y;
    } else {
      box_x = x;
      box_y = y;
    }
  } else if (*flag == 1) {
    *flag = 0;
    history_begin();
    draw_shape(px_cnvs, x, y);
    history_end();
    save_fg = 1;
  }
}

// A stroke, one undoable action, lasts from the press to the release.
void dot_press(guint button, int x, int y) {
  if (button == kLeft || button == kRight) history_begin();
  if (button == kLeft) {
    px_dot(px_cnvs, x, y, now_rgb[0], now_rgb[1], now_rgb[2]);
    save_fg = 1;
  } else if (button == kRight) {
    px_dot(px_cnvs, x, y, 255, 255, 255);
    save_fg = 1;
  }
}

void fill_press(guint button, int x, int y) {
  if (button != kLeft) return;
  g_print("start paint\n");
  history_begin();
  px_paint(x, y, now_rgb[0], now_rgb[1], now_rgb[2]);
  history_end();
  save_fg = 1;
  px_draw_repaint();
}

void picker_press(guint button, int x, int y) {
  if (button != kLeft) return;
  g_print("start spoit\n");
  px_get_dot(px_cnvs, x, y, now_rgb);
  px_draw_repaint();
}

// Pointer readout on the status line: cell, tool and visible window.
void show_status(int x, int y) {
  px_get_now_adjustment();
  char name[kToolNameSize];
  px_get_nowtool_str(name);
  char text[kTextBufSize];
  std::snprintf(text, sizeof text,
                "   ( X:%d , Y:%d ) %s  top:%d bottom:%d left:%d right:%d", x, y, name,
                now_window_top, now_window_bottom, now_window_left, now_window_right);
  px_error(text);
}

// What the current tool does when the pointer enters cell (x, y).
void motion_action(int x, int y) {
  if (now_tool == kToolDot) {
    // A press beyond the canvas opened no stroke; dragging onto it paints.
    if (m_b_e == 1 || m_b_e == 3) history_continue();
    if (m_b_e == 1) {
      px_dot(px_cnvs, x, y, now_rgb[0], now_rgb[1], now_rgb[2]);
      save_fg = 1;
    } else if (m_b_e == 3) {
      px_dot(px_cnvs, x, y, 255, 255, 255);
      save_fg = 1;
    }
    return;
  }
  int *flag = pending_flag();
  if (!flag) return;
  // The previous preview goes first, also when no shape is pending.
  px_draw_repaint();
  if (*flag == 1) draw_shape(px_cnvs_vtl, x, y);
}
}  // namespace

gboolean button_press_event(GtkWidget *, GdkEventButton *event, gpointer) {
  ViewBatch batch;  // what the press paints reaches the screen in one go
  m_b_e = static_cast<int>(event->button);
  // Presses past the right or bottom edge of the canvas are ignored.
  if (event->x / dot_size >= mv_size_widht || event->y / dot_size >= mv_size_heigth)
    return FALSE;
  const int x = to_cell(event->x);
  const int y = to_cell(event->y);
  switch (now_tool) {
    case kToolDot: dot_press(event->button, x, y); break;
    case kToolLine:
    case kToolSquare:
    case kToolRect:
    case kToolCircle:
    case kToolEllipse: shape_press(event->button, x, y); break;
    case kToolFill: fill_press(event->button, x, y); break;
    case kToolPicker: picker_press(event->button, x, y); break;
    default: break;
  }
  g_print("now_tool%d\n", now_tool);
  undo_state_changed();  // a shape may have begun or ended
  return FALSE;
}

gboolean motion_notify_event(GtkWidget *, GdkEventMotion *event, gpointer) {
  // Cell of the last motion event that reached a new cell.
  static int old_x = 0, old_y = 0;
  ViewBatch batch;
  if (tz > kRepaintAfter) {
    tz = 0;
    px_draw_full();
  } else {
    tz++;
  }
  const int x = to_cell(event->x);
  const int y = to_cell(event->y);
  if (x == old_x && y == old_y) return TRUE;
  old_x = x;
  old_y = y;
  show_status(x, y);
  if (px_old_x / dot_size != x || px_old_y / dot_size != y) motion_action(x, y);
  px_old_x = static_cast<int>(event->x);
  px_old_y = static_cast<int>(event->y);
  return TRUE;
}

gboolean button_release_event(GtkWidget *, GdkEventButton *event, gpointer) {
  m_b_e = -static_cast<int>(event->button);
  history_end();
  return FALSE;
}
