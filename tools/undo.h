// The Edit menu's undo and redo on the picture.
#pragma once

// Cancels a pending shape if there is one; otherwise takes back the last
// drawing action. Keeps save_fg in step with the saved state.
void px_undo();
// Redoes the action taken back last.
void px_redo();
// True while undo has something to do: a pending shape or a kept action.
bool px_can_undo();
bool px_can_redo();

// `listener` is called whenever px_can_undo or px_can_redo may have changed.
void undo_set_listener(void (*listener)());
// Tells the listener that a shape began or ended, or a tool change dropped one.
void undo_state_changed();
