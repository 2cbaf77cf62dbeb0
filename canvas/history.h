// Undo and redo: the picture's changes, action by action. A plain container:
// the cells' own writes record into it, and undo and redo hand each cell
// back to a function of the caller's.
#pragma once

#include <cstddef>

// Opens a new action, closing any open one: from now on every change
// recorded belongs to it.
void history_begin();
// Opens an action unless one is open already (a stroke that entered the
// canvas after its button press).
void history_continue();
// Closes the open action; it is kept only if it changed a cell, and then
// discards whatever could have been redone.
void history_end();
// True while an action is open.
bool history_recording();
// Records a change of `count` cells from cell number `first` (x + y * width)
// on, all of colour old_rgb before and r, g, b after, while an action is open.
void history_record(std::size_t first, std::size_t count, const int *old_rgb, int r, int g,
                    int b);

// Receives one cell (x + y * width) and the colour it must take.
using HistoryPut = void (*)(std::size_t cell, const int *rgb);
// Takes back the last action (or redoes the next one), handing each of its
// cells to `put`. Returns false when there is nothing to do.
bool history_undo(HistoryPut put);
bool history_redo(HistoryPut put);
bool history_can_undo();
bool history_can_redo();

// Forgets every action: the picture as it is now is a new starting point
// and, being fresh from New, Open or a size change, is the saved state.
void history_clear();
// The picture as it is now is the one on disk.
void history_mark_saved();
// No state of the history is the one on disk: the picture came from
// elsewhere (a recovery snapshot), so undo never makes it clean.
void history_mark_unsaved();
// True when the picture is in the state it had when last opened or saved.
bool history_at_saved();

// Called whenever what can be undone or redone may have changed.
void history_set_listener(void (*listener)());

// Memory allowed for the kept actions, in bytes; the oldest actions are
// dropped past it. Settable, and its use readable, so that tests can see the
// bound work without filling the default 256 MiB.
constexpr std::size_t kHistoryDefaultLimit = std::size_t(256) << 20;
void history_set_limit(std::size_t bytes);
std::size_t history_bytes();
