// Replacing a file whole, for the document writer and the image writers: the
// new bytes go to a temporary file beside the target and take its place only
// once they are all on the disk, so that no failure leaves a damaged file.
// Where that would change what the user set up on the file (its owner and
// group, its other names, a folder only the file may be written in), the
// file is written in place instead, its room reserved first.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Where the new bytes go; `error` keeps the errno of the first failed write.
// With `memory` set they are gathered there instead of written to `fd`.
struct FileSink {
  int fd;
  int error;
  std::string *memory = nullptr;
};

// Appends n bytes to the sink. False once a write failed.
bool sink_write(FileSink *sink, const void *data, std::size_t n);

enum class FileReplace {
  Done,
  TargetIsFolder,  // the path names a folder
  NoFolder,        // the folder of the path does not exist
  FolderReadOnly,  // no file can be made or replaced in the folder
  NotWritable,     // the file is there and the saver may not write it
  NoSpace,         // the disk, a quota or the file-size limit is full
  Failed,          // anything else: a target that is no regular file, an I/O error
};

// The user's own file (a document, an export) is reached through a symbolic
// link and keeps what was set up on it. The program's temporary files lie
// where others may plant a link under their name: such a link is replaced
// itself, never followed, and whatever lay there is simply replaced.
enum class FileKind { UserFile, TempFile };

// Replaces the file at `path` with what `write` puts into the sink; `write`
// returns false to give up. A user's file that the saver may not write is
// refused. One of another owner, with more than one name, with a group the
// saver cannot give a new file, or in a folder that takes no new file is
// written in place: its new size is reserved before a byte changes, so a
// full disk or a size limit leaves it as it was; only a failure during the
// write itself damages it. Any other file is replaced by a new one with the
// old one's owner, group and permission bits; a new file gets 0666 less the
// umask. On a failure of the replacement the temporary file is removed and
// the target is as it was: an existing one keeps its bytes, a new one is
// not created.
FileReplace px_replace_file(const char *path, const std::function<bool(FileSink *)> &write,
                            FileKind kind = FileKind::UserFile);

// What a failure means to the user, where the full-disk and folder messages
// describe it; `otherwise` for the rest.
const char *replace_message(FileReplace result, const char *otherwise);
