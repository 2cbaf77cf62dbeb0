// Recovery snapshots: while the picture has unsaved changes a copy of it is
// kept in the state folder, so that a crash, a lost X connection or a power
// cut loses little of it; at start-up the pictures of programs that died
// are offered back.
#pragma once

// Sets up the snapshots (a timer, SIGTERM and SIGHUP, the loss of the X
// connection), then offers, newest first, the pictures left by programs
// that no longer run. Returns true when one was restored: `document`, named
// on the command line (or null), is then not to be opened, as the status
// line says.
bool recovery_start(const char *document);

// The picture has no unsaved changes any more: its snapshot goes.
void recovery_discard();
// A normal quit: the snapshot goes, a write still running is waited for,
// and the lock is given up.
void recovery_quit();
// Writes a snapshot of the picture now, on this thread, if it has unsaved
// changes: the program is about to end. True when one was written.
bool recovery_write_now();

// Starts a snapshot at once, as a pause after a change does: the cells are
// copied in idle slices, then written by a worker thread. For measurements.
void recovery_begin();
// True while a snapshot is being copied or written.
bool recovery_busy();
