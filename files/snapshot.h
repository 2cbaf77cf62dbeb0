// Recovery snapshots on disk. A snapshot is one file, <id>.koma in the
// recovery folder: a complete document of the picture (any reader takes it,
// the lines after the last cell being ignored) followed by what puts the
// editor back as it was:
//   koma-recovery 1
//   time <seconds since 1970>
//   scale <dot_size>
//   untitled <0 or 1>
//   name <length in bytes> <document name>
// One file, so that a rename replaces picture and metadata together. The
// program that writes <id>.koma holds a lock (flock) on <id>.lock for as
// long as it runs; a snapshot whose lock can be taken is a dead program's.
// No toolkit here: writing may run on a worker thread.
#pragma once

#include <string>
#include <vector>

struct SnapshotMeta {
  long long time = 0;     // when it was taken, seconds since 1970
  int scale = 0;          // display scale, 2 to 10
  bool untitled = false;  // the document had no file of its own
  std::string name;       // the document's name or path
};

struct Snapshot {
  int width = 0;
  int height = 0;
  std::vector<int> cells;  // r, g, b per cell, row-major
  SnapshotMeta meta;
};

// $XDG_STATE_HOME/koma/recovery, or ~/.local/state/koma/recovery.
std::string snapshot_folder();
// Makes the folder and any missing one above it, each with mode 0700.
bool snapshot_make_folder(const std::string &folder);

// Writes the snapshot to a temporary file of the id's (mode 0600) and syncs
// it; nothing is left behind on failure. Only snapshot_commit puts it in
// place, so the writer can still drop it.
bool snapshot_prepare(const std::string &folder, const std::string &id, int w, int h,
                      const int *cells, const SnapshotMeta &meta);
// Renames the prepared file to <id>.koma and syncs the folder.
bool snapshot_commit(const std::string &folder, const std::string &id);
// Removes the id's snapshot and temporary file; its lock stays.
void snapshot_remove(const std::string &folder, const std::string &id);

enum class SnapshotRead { Ok, Missing, Damaged };
// Reads <id>.koma: Damaged when it is no complete document with its
// metadata (truncated, garbage, a size that does not match the cells).
SnapshotRead snapshot_read(const std::string &folder, const std::string &id, Snapshot *out);
// Moves <id>.koma into the folder's damaged/ (made with mode 0700).
bool snapshot_move_aside(const std::string &folder, const std::string &id);
// Gives snapshot `from` the id `to`.
bool snapshot_rename(const std::string &folder, const std::string &from, const std::string &to);

// The ids that have a snapshot, a lock or a temporary file in the folder.
std::vector<std::string> snapshot_ids(const std::string &folder);

// A new lock file for `id`, locked: its descriptor, or -1.
int snapshot_lock_own(const std::string &folder, const std::string &id);
// Locks the lock of `id` if no running program holds it (a missing lock
// file is made): the descriptor, or -1 while its program runs.
int snapshot_lock_dead(const std::string &folder, const std::string &id);
// Removes everything of `id` (snapshot, temporary file, lock) and closes
// `lock_fd`, the lock held on it.
void snapshot_forget(const std::string &folder, const std::string &id, int lock_fd);
