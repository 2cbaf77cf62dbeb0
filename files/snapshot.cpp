#include "files/snapshot.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <glib.h>

#include "base/globals.h"
#include "files/document.h"
#include "files/replace_file.h"

namespace {
constexpr int kFolderMode = 0700;
constexpr int kFileMode = 0600;
constexpr const char *kSnapshotEnd = ".koma";
constexpr const char *kLockEnd = ".lock";
constexpr const char *kTempEnd = ".tmp";
constexpr const char *kDamaged = "/damaged";
// Everything of the metadata but the name fits in this.
constexpr std::size_t kMetaHead = 256;

std::string path_of(const std::string &folder, const std::string &id, const char *end) {
  return folder + "/" + id + end;
}

// Hidden, so that a user looking for snapshots sees whole ones only.
std::string temp_path(const std::string &folder, const std::string &id) {
  return folder + "/." + id + kTempEnd;
}

bool has_end(const std::string &s, const char *end) {
  const std::size_t n = std::strlen(end);
  return s.size() > n && s.compare(s.size() - n, n, end) == 0;
}

// Makes a rename in the folder durable.
bool sync_folder(const std::string &folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0 || errno == EINVAL;
  close(fd);
  return ok;
}

std::string metadata(const SnapshotMeta &m) {
  char head[kMetaHead];
  std::snprintf(head, sizeof head, "koma-recovery 1\ntime %lld\nscale %d\nuntitled %d\nname %zu ",
                m.time, m.scale, m.untitled ? 1 : 0, m.name.size());
  return head + m.name + "\n";
}

// The metadata after the last cell, to the end of the file and no further.
bool read_metadata(const char *p, const char *end, SnapshotMeta *m) {
  if (std::size_t(end - p) > kMetaHead + kFileNameSize) return false;
  const std::string t(p, end);
  int untitled = -1, at = -1;
  std::size_t len = 0;
  if (std::sscanf(t.c_str(), " koma-recovery 1 time %lld scale %d untitled %d name %zu%n", &m->time,
                  &m->scale, &untitled, &len, &at) != 4 || at < 0)
    return false;
  const std::size_t start = std::size_t(at) + 1;
  if (len >= std::size_t(kFileNameSize) || t.size() != start + len + 1 || t[at] != ' ' ||
      t.back() != '\n')
    return false;
  m->name = t.substr(start, len);
  m->untitled = untitled == 1;
  return m->name.find('\0') == std::string::npos && m->time >= 0 && m->scale >= 2 &&
         m->scale <= 10 && (untitled == 0 || untitled == 1);
}

// Locks the file at `path` for good, opened with `flags` besides read and
// write. A lock on a file that lost its name on the way (its program removed
// it) does not count.
int lock_file(const std::string &path, int flags) {
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | flags, kFileMode);
  if (fd < 0) return -1;
  struct stat held, named;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &held) != 0 ||
      stat(path.c_str(), &named) != 0 || held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
    close(fd);
    return -1;
  }
  return fd;
}
}  // namespace

std::string snapshot_folder() {
  const char *state = g_getenv("XDG_STATE_HOME");
  // A relative path is no state folder, by the base directory rules.
  const std::string base = state && g_path_is_absolute(state)
                               ? std::string(state)
                               : std::string(g_get_home_dir()) + "/.local/state";
  return base + "/koma/recovery";
}

bool snapshot_make_folder(const std::string &folder) {
  return g_mkdir_with_parents(folder.c_str(), kFolderMode) == 0;
}

bool snapshot_prepare(const std::string &folder, const std::string &id, int w, int h,
                      const int *cells, const SnapshotMeta &meta) {
  const std::string tmp = temp_path(folder, id);
  const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode);
  if (fd < 0) return false;
  FileSink sink{fd, 0};
  const std::string tail = metadata(meta);
  bool ok = koma_write_to(&sink, w, h, cells) && sink_write(&sink, tail.data(), tail.size());
  // On the disk before it takes the snapshot's name: after a power cut the
  // old snapshot or the new one is there, whole.
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok) unlink(tmp.c_str());
  return ok;
}

bool snapshot_commit(const std::string &folder, const std::string &id) {
  if (rename(temp_path(folder, id).c_str(), path_of(folder, id, kSnapshotEnd).c_str()) != 0)
    return false;
  return sync_folder(folder);
}

void snapshot_remove(const std::string &folder, const std::string &id) {
  unlink(path_of(folder, id, kSnapshotEnd).c_str());
  unlink(temp_path(folder, id).c_str());
}

SnapshotRead snapshot_read(const std::string &folder, const std::string &id, Snapshot *out) {
  *out = Snapshot();
  const std::string path = path_of(folder, id, kSnapshotEnd);
  struct stat st;
  if (stat(path.c_str(), &st) != 0 && errno == ENOENT) return SnapshotRead::Missing;
  KomaFile bytes;
  if (koma_read_file(path.c_str(), &bytes) != KomaRead::Ok) return SnapshotRead::Damaged;
  const char *p = bytes.data(), *end = bytes.data() + bytes.size();
  if (koma_read_header(&p, end, &out->width, &out->height) != KomaStatus::Complete)
    return SnapshotRead::Damaged;
  const std::size_t n = std::size_t(out->width) * std::size_t(out->height);
  out->cells.resize(3 * n);
  if (koma_read_cells(&p, end, n, out->cells.data()) != n || !read_metadata(p, end, &out->meta))
    return SnapshotRead::Damaged;
  return SnapshotRead::Ok;
}

bool snapshot_move_aside(const std::string &folder, const std::string &id) {
  const std::string aside = folder + kDamaged;
  if (mkdir(aside.c_str(), kFolderMode) != 0 && errno != EEXIST) return false;
  return rename(path_of(folder, id, kSnapshotEnd).c_str(),
                path_of(aside, id, kSnapshotEnd).c_str()) == 0;
}

bool snapshot_rename(const std::string &folder, const std::string &from, const std::string &to) {
  if (rename(path_of(folder, from, kSnapshotEnd).c_str(), path_of(folder, to, kSnapshotEnd).c_str()) != 0)
    return false;
  return sync_folder(folder);
}

std::vector<std::string> snapshot_ids(const std::string &folder) {
  std::vector<std::string> ids;
  GDir *dir = g_dir_open(folder.c_str(), 0, nullptr);
  if (!dir) return ids;
  while (const char *entry = g_dir_read_name(dir)) {
    const std::string s = entry;
    std::string id;
    if (s[0] == '.' && has_end(s, kTempEnd))
      id = s.substr(1, s.size() - 1 - std::strlen(kTempEnd));
    else if (s[0] != '.' && (has_end(s, kSnapshotEnd) || has_end(s, kLockEnd)))
      id = s.substr(0, s.size() - std::strlen(kLockEnd));  // as long as kSnapshotEnd
    if (!id.empty() && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  }
  g_dir_close(dir);
  return ids;
}

int snapshot_lock_own(const std::string &folder, const std::string &id) {
  return lock_file(path_of(folder, id, kLockEnd), O_CREAT | O_EXCL);
}

int snapshot_lock_dead(const std::string &folder, const std::string &id) {
  return lock_file(path_of(folder, id, kLockEnd), O_CREAT);
}

void snapshot_forget(const std::string &folder, const std::string &id, int lock_fd) {
  snapshot_remove(folder, id);
  // The lock goes last, while it is still held: no one takes the id's
  // leftovers for a live program's.
  unlink(path_of(folder, id, kLockEnd).c_str());
  if (lock_fd >= 0) close(lock_fd);
}
