#include "tools/undo.h"

#include "app/globals.h"
#include "canvas/history.h"
#include "canvas/paint.h"
#include "canvas/view.h"

namespace {
void follow_saved_state() { save_fg = history_at_saved() ? 0 : 1; }

bool shape_pending() { return tool_line_start || tool_box_start || tool_circle_start; }
}  // namespace

void px_undo() {
  ViewBatch batch;
  if (shape_pending()) {
    tool_line_start = tool_box_start = tool_circle_start = 0;
    px_draw_repaint();  // take the preview off the screen at once
    history_notify();
    return;
  }
  if (history_undo()) follow_saved_state();
}

void px_redo() {
  ViewBatch batch;
  if (history_redo()) follow_saved_state();
}

bool px_can_undo() { return shape_pending() || history_can_undo(); }
