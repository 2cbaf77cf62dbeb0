#include "files/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>

#include <glib.h>

namespace {
using FileWriter = std::function<bool(FileSink *)>;

constexpr const char *kMsgNoSpace = "ディスクがいっぱいで保存できません。";
constexpr const char *kMsgFolderReadOnly =
    "保存先のフォルダに書き込めません。ファイルは変更していません。";

// The file a symbolic link leads to, so that saving keeps the link.
std::string write_target(const char *path) {
  struct stat st;
  if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char *real = realpath(path, nullptr)) {
      std::string s(real);
      std::free(real);
      return s;
    }
  }
  return path;
}

// A file while it is written: closed, and removed when it has a path, which
// only a temporary file has until it takes the target's place.
struct OpenFile {
  std::string path;
  int fd = -1;
  OpenFile() = default;
  OpenFile(const OpenFile &) = delete;
  OpenFile &operator=(const OpenFile &) = delete;
  ~OpenFile() {
    if (fd >= 0) close(fd);
    if (!path.empty()) unlink(path.c_str());
  }
};

FileReplace create_failure(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR: return FileReplace::NoFolder;
    case EACCES:
    case EPERM:
    case EROFS: return FileReplace::FolderReadOnly;
    case ENOSPC:
    case EDQUOT: return FileReplace::NoSpace;
    default: return FileReplace::Failed;
  }
}

// With SIGXFSZ ignored, a file-size limit shows as EFBIG.
FileReplace write_failure(int err) {
  return err == ENOSPC || err == EDQUOT || err == EFBIG ? FileReplace::NoSpace
                                                        : FileReplace::Failed;
}

FileReplace rename_failure(int err) {
  if (err == EISDIR) return FileReplace::TargetIsFolder;
  // A sticky folder forbids replacing another user's file (at a temporary
  // name; a user's file of another owner is written in place).
  if (err == EACCES || err == EPERM || err == EROFS) return FileReplace::FolderReadOnly;
  return FileReplace::Failed;
}

// Makes the rename itself durable. The file is already whole under its
// name, so a folder that cannot be synced is no failure.
void sync_folder(const std::string &dir) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Syncs and closes the file: Done once its bytes are on the disk.
FileReplace sync_and_close(OpenFile *f) {
  if (fsync(f->fd) != 0 && errno != EINVAL) return write_failure(errno);
  const int fd = f->fd;
  f->fd = -1;
  return close(fd) != 0 && errno != EINTR ? write_failure(errno) : FileReplace::Done;
}

// Replacing would change what was set up on the file: another owner (which
// also covers a sticky folder, where only the owner may replace it) or a
// second name, which would keep the old picture.
bool keep_the_file(const struct stat &old) {
  return old.st_uid != geteuid() || old.st_nlink > 1;
}

// Writes the new bytes over the old file. They are made in memory first and
// their room reserved, so that everything that can fail before the write
// (the picture, a full disk, a file-size limit) leaves the old bytes as
// they were; from the write to the sync the file is a mixture of both.
FileReplace write_in_place(const std::string &target, const FileWriter &write) {
  std::string bytes;
  FileSink memory{-1, 0, &bytes};
  if (!write(&memory)) return memory.error ? write_failure(memory.error) : FileReplace::Failed;
  // The path is already the link's end: a link put there since is not followed.
  OpenFile f;
  f.fd = open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  struct stat old;
  if (f.fd < 0 || fstat(f.fd, &old) != 0)
    return errno == EACCES || errno == EPERM ? FileReplace::NotWritable : FileReplace::Failed;
  const off_t size = off_t(bytes.size());
  if (size > 0) {
    if (const int err = posix_fallocate(f.fd, 0, size)) {
      struct stat now;  // a reservation that failed halfway may have grown the file
      if (fstat(f.fd, &now) == 0 && now.st_size != old.st_size) (void)!ftruncate(f.fd, old.st_size);
      return write_failure(err);
    }
  }
  FileSink sink{f.fd, 0};
  if (!sink_write(&sink, bytes.data(), bytes.size())) return write_failure(sink.error);
  if (size < old.st_size && ftruncate(f.fd, size) != 0) return write_failure(errno);
  return sync_and_close(&f);
}

// The new file beside the target, renamed over it once it is on the disk.
FileReplace replace_whole(const std::string &target, const struct stat *old,
                          const FileWriter &write) {
  gchar *dir_name = g_path_get_dirname(target.c_str());
  const std::string dir(dir_name);
  g_free(dir_name);
  std::string name = dir + "/.koma-XXXXXX";
  OpenFile tmp;
  tmp.fd = g_mkstemp_full(&name[0], O_WRONLY | O_CLOEXEC, 0666);  // 0666 less the umask
  const int made = errno;
  // A folder that takes no new file still lets its files be written.
  if (tmp.fd < 0 && old && (made == EACCES || made == EPERM)) return write_in_place(target, write);
  if (tmp.fd < 0) return create_failure(made);
  tmp.path = name;
  if (old) {
    // A group the saver may not give the new file: the file keeps its own.
    if (fchown(tmp.fd, old->st_uid, old->st_gid) != 0) return write_in_place(target, write);
    // The permission bits after the owner, whose change may clear them; a
    // failure leaves the new file's own, which loses no data.
    fchmod(tmp.fd, old->st_mode & 07777);
  }

  FileSink sink{tmp.fd, 0};
  if (!write(&sink)) return sink.error ? write_failure(sink.error) : FileReplace::Failed;
  // On the disk before the name moves: a crash leaves the old or the new file.
  const FileReplace synced = sync_and_close(&tmp);
  if (synced != FileReplace::Done) return synced;
  if (rename(tmp.path.c_str(), target.c_str()) != 0) return rename_failure(errno);
  tmp.path.clear();
  sync_folder(dir);
  return FileReplace::Done;
}
}  // namespace

bool sink_write(FileSink *sink, const void *data, std::size_t n) {
  if (sink->error) return false;
  const char *p = static_cast<const char *>(data);
  if (sink->memory) {
    try {
      sink->memory->append(p, n);
      return true;
    } catch (const std::bad_alloc &) {
      sink->error = ENOMEM;
      return false;
    }
  }
  while (n > 0) {
    const ssize_t done = write(sink->fd, p, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      sink->error = done < 0 ? errno : EIO;
      return false;
    }
    p += done;
    n -= std::size_t(done);
  }
  return true;
}

FileReplace px_replace_file(const char *path, const FileWriter &write, FileKind kind) {
  const bool users = kind == FileKind::UserFile;
  const std::string target = users ? write_target(path) : path;
  struct stat old;
  // At a temporary name a link counts as nothing there: it is replaced.
  const bool existed = (users ? stat(target.c_str(), &old) : lstat(target.c_str(), &old)) == 0 &&
                       !S_ISLNK(old.st_mode);
  if (existed && S_ISDIR(old.st_mode)) return FileReplace::TargetIsFolder;
  // A device or a named pipe is never replaced by a plain file.
  if (existed && !S_ISREG(old.st_mode)) return FileReplace::Failed;
  if (!existed || !users) return replace_whole(target, nullptr, write);
  // The real and effective ids decide, as opening the file would: a file the
  // user protected stays as it is, while root may still write it.
  if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return FileReplace::NotWritable;
  return keep_the_file(old) ? write_in_place(target, write) : replace_whole(target, &old, write);
}

const char *replace_message(FileReplace result, const char *otherwise) {
  if (result == FileReplace::NoSpace) return kMsgNoSpace;
  if (result == FileReplace::FolderReadOnly) return kMsgFolderReadOnly;
  return otherwise;
}
