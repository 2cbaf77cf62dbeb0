// Undo and redo: the picture's changes, action by action.
#pragma once

#include <cstddef>

// Opens a new action, closing any open one: from now on every cell of the
// picture that px_dot changes is recorded with its old and new colour.
void history_begin();
// Opens an action unless one is open already (a stroke that entered the
// canvas after its button press).
void history_continue();
// Closes the open action; it is kept only if it changed a cell, and then
// discards whatever could have been redone.
void history_end();
// True while an action is open.
bool history_recording();
// Called for a change of `count` picture cells from cell number `first` on
// (not array index), all of colour old_rgb before, while an action is open.
void history_record(std::size_t first, std::size_t count, const int *old_rgb, int r, int g,
                    int b);

// Takes back the last action (or redoes the next), repainting the changed
// cells through px_dot. Returns false when there is nothing to do.
bool history_undo();
bool history_redo();
bool history_can_undo();
bool history_can_redo();

// Forgets every action: the picture as it is now is a new starting point
// and, being fresh from New, Open or a size change, is the saved state.
void history_clear();
// The picture as it is now is the one on disk.
void history_mark_saved();
// True when the picture is in the state it had when last opened or saved.
bool history_at_saved();

// Memory allowed for the kept actions, in bytes; the oldest actions are
// dropped past it.
void history_set_limit(std::size_t bytes);
std::size_t history_bytes();
// Called whenever what can be undone or redone may have changed.
void history_set_listener(void (*listener)());
// Calls the listener: undo may have something else to take back (a shape
// waiting for its second click).
void history_notify();

constexpr std::size_t kHistoryDefaultLimit = std::size_t(256) << 20;
