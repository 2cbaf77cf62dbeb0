#include "tools/undo.h"

#include "app/globals.h"
#include "canvas/history.h"
#include "canvas/paint.h"
#include "canvas/view.h"

namespace {
void follow_saved_state() { save_fg = history_at_saved() ? 0 : 1; }
}  // namespace

void px_undo() {
  ViewBatch batch;
  if (tool_line_start || tool_box_start || tool_circle_start) {
    tool_line_start = tool_box_start = tool_circle_start = 0;
    px_draw_repaint();  // take the preview off the screen at once
    return;
  }
  if (history_undo()) follow_saved_state();
}

void px_redo() {
  ViewBatch batch;
  if (history_redo()) follow_saved_state();
}
