#include "files/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include <glib.h>

namespace {
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

// The temporary file while it is written: closed and removed unless it
// has taken the target's place.
struct TempFile {
  std::string path;
  int fd = -1;
  TempFile() = default;
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;
  ~TempFile() {
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
  // A sticky folder forbids replacing another user's file.
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
}  // namespace

bool sink_write(FileSink *sink, const void *data, std::size_t n) {
  if (sink->error) return false;
  const char *p = static_cast<const char *>(data);
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

FileReplace px_replace_file(const char *path, const std::function<bool(FileSink *)> &write,
                            FileKind kind) {
  const bool users = kind == FileKind::UserFile;
  const std::string target = users ? write_target(path) : path;
  struct stat old;
  // At a temporary name a link counts as nothing there: it is replaced.
  const bool existed = (users ? stat(target.c_str(), &old) : lstat(target.c_str(), &old)) == 0 &&
                       !S_ISLNK(old.st_mode);
  if (existed && S_ISDIR(old.st_mode)) return FileReplace::TargetIsFolder;
  // A device or a named pipe is never replaced by a plain file.
  if (existed && !S_ISREG(old.st_mode)) return FileReplace::Failed;

  gchar *dir_name = g_path_get_dirname(target.c_str());
  const std::string dir(dir_name);
  g_free(dir_name);
  // Where no file can be made beside the target, nothing is written: the
  // old file is never truncated and rewritten in place.
  std::string name = dir + "/.koma-XXXXXX";
  TempFile tmp;
  tmp.fd = g_mkstemp_full(&name[0], O_WRONLY | O_CLOEXEC, 0666);  // 0666 less the umask
  if (tmp.fd < 0) return create_failure(errno);
  tmp.path = name;
  if (existed && users) {
    // The old owner where that is allowed; otherwise (EPERM) the file
    // becomes the saving user's, which keeps the data safe all the same, and
    // does not carry set-id bits over to that user.
    const bool same_owner = fchown(tmp.fd, old.st_uid, old.st_gid) == 0;
    // The permission bits after the owner, whose change may clear them; a
    // failure leaves the new file's own, which loses no data.
    fchmod(tmp.fd, old.st_mode & (same_owner ? 07777 : 0777));
  }

  FileSink sink{tmp.fd, 0};
  if (!write(&sink)) return sink.error ? write_failure(sink.error) : FileReplace::Failed;
  // On the disk before the name moves: a crash leaves the old or the new file.
  if (fsync(tmp.fd) != 0 && errno != EINVAL) return write_failure(errno);
  const int fd = tmp.fd;
  tmp.fd = -1;
  if (close(fd) != 0 && errno != EINTR) return write_failure(errno);
  if (rename(tmp.path.c_str(), target.c_str()) != 0) return rename_failure(errno);
  tmp.path.clear();
  sync_folder(dir);
  return FileReplace::Done;
}

const char *replace_message(FileReplace result, const char *otherwise) {
  if (result == FileReplace::NoSpace) return kMsgNoSpace;
  if (result == FileReplace::FolderReadOnly) return kMsgFolderReadOnly;
  return otherwise;
}
