#include "files/image_export.h"

#include <unistd.h>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib/gstdio.h>

#include "files/bmp_write.h"
#include "files/replace_file.h"

namespace {
// PNG and JPEG go through a BMP that GdkPixbuf reads (see px_temp_path).
constexpr const char *kTempFile = ".px_tmp100001.bmp";

constexpr const char *kMsgWrite = "ファイルに書き込めません。";
constexpr const char *kMsgTempWrite = "一時ファイルに書き込めません。";
constexpr const char *kMsgTempLoad = "一時ファイルを読み込めません。";

std::string g_temp_dir;  // set by px_set_temp_dir; empty for the usual places

// Whether a file can be made here: permissions alone do not tell (root, a
// read-only mount, a folder that was removed), so one is made and removed.
bool working_dir_writable() {
  char probe[] = ".px_probeXXXXXX";
  const int fd = g_mkstemp(probe);
  if (fd < 0) return false;
  close(fd);
  g_remove(probe);
  return true;
}

// GdkPixbuf's writer callback: the encoded image goes into the replacement.
gboolean save_to_sink(const gchar *buf, gsize count, GError **err, gpointer data) {
  auto *sink = static_cast<FileSink *>(data);
  if (sink_write(sink, buf, count)) return TRUE;
  g_set_error_literal(err, G_FILE_ERROR, g_file_error_from_errno(sink->error),
                      g_strerror(sink->error));
  return FALSE;
}

}  // namespace

const char *px_write_image(ImageFormat format, const char *path, int w, int h,
                           const std::uint32_t *words) {
  if (format == ImageFormat::Bmp) {
    const FileReplace written = bmp_write_file(path, w, h, words);
    return written == FileReplace::Done ? nullptr : replace_message(written, kMsgWrite);
  }
  const std::string temp = px_write_temp_bmp(kTempFile, w, h, words);
  if (temp.empty()) return kMsgTempWrite;
  GdkPixbuf *image = gdk_pixbuf_new_from_file(temp.c_str(), nullptr);
  if (!image) return kMsgTempLoad;
  const char *type = format == ImageFormat::Png ? "png" : "jpeg";
  const FileReplace written = px_replace_file(path, [&](FileSink *sink) {
    GError *err = nullptr;
    const gboolean saved =
        gdk_pixbuf_save_to_callback(image, save_to_sink, sink, type, &err, nullptr);
    g_clear_error(&err);
    return saved != FALSE;
  });
  g_object_unref(image);
  return written == FileReplace::Done ? nullptr : replace_message(written, kMsgWrite);
}

std::string px_temp_path(const char *name) {
  if (!g_temp_dir.empty()) return g_temp_dir + "/" + name;
  if (working_dir_writable()) return name;
  // A launcher may start the program in a folder it cannot write.
  const std::string dir = std::string(g_get_user_cache_dir()) + "/koma";
  g_mkdir_with_parents(dir.c_str(), 0700);
  return dir + "/" + name;
}

std::string px_write_temp_bmp(const char *name, int w, int h, const std::uint32_t *words) {
  std::string path = px_temp_path(name);
  if (bmp_write_file(path.c_str(), w, h, words, FileKind::TempFile) != FileReplace::Done) path.clear();
  return path;
}

void px_set_temp_dir(const char *dir) { g_temp_dir = dir ? dir : ""; }
