#include "tools/undo.h"

#include <cstddef>

#include "base/globals.h"
#include "canvas/cells.h"
#include "canvas/history.h"
#include "canvas/repaint.h"
#include "canvas/view.h"

namespace {
void (*listener)() = nullptr;

void follow_saved_state() { save_fg = history_at_saved() ? 0 : 1; }

bool shape_pending() { return tool_line_start || tool_box_start || tool_circle_start; }

// Undone and redone cells are written and painted as any other.
void put_cell(std::size_t cell, const int *rgb) {
  if (mv_size_widht <= 0) return;
  px_dot(px_cnvs, int(cell % mv_size_widht), int(cell / mv_size_widht), rgb[0], rgb[1], rgb[2]);
}
}  // namespace

void px_undo() {
  ViewBatch batch;
  if (shape_pending()) {
    tool_line_start = tool_box_start = tool_circle_start = 0;
    px_draw_repaint();  // take the preview off the screen at once
    undo_state_changed();
    return;
  }
  if (history_undo(put_cell)) follow_saved_state();
}

void px_redo() {
  ViewBatch batch;
  if (history_redo(put_cell)) follow_saved_state();
}

bool px_can_undo() { return shape_pending() || history_can_undo(); }
bool px_can_redo() { return history_can_redo(); }

void undo_set_listener(void (*fn)()) {
  listener = fn;
  history_set_listener(fn);
}

void undo_state_changed() {
  if (listener) listener();
}
