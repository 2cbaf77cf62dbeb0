#include "files/export.h"

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include <glib/gstdio.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/text.h"
#include "files/bmp_write.5.h"
#include "files/replace_file.h"

namespace {
// PNG and JPEG go through a BMP that GdkPixbuf reads (see px_temp_path).
constexpr const char *kTempFile = ".px_tmp100001.bmp";

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

constexpr const char *kMsgWrite = "error... ファイルに書き込めません。";
constexpr const char *kMsgTempWrite = "error... 一時ファイルに書き込めません。";
constexpr const char *kMsgTempLoad = "error... 一時ファイルを読み込めません。";

struct ExportKind {
  const char *first_trace;
  const char *title;
  const char *ext;
  ImageFormat format;
  const char *last_trace;
};

constexpr ExportKind kBmp = {"export_bmp!!\n", "エクスポート BMP", ".bmp", ImageFormat::Bmp,
                             "bmp_write6\n"};
constexpr ExportKind kPng = {"export_png!!\n", "エクスポート PNG", ".png", ImageFormat::Png,
                             "png_write6\n"};
constexpr ExportKind kJpeg = {"export_jpeg!!\n", "エクスポート JPEG", ".jpeg", ImageFormat::Jpeg,
                              "jpeg_write6\n"};

// Writes the picture to `path`; returns the status-line message of the
// failure, or null once the file is written.
const char *write_picture(const ExportKind &kind, const char *path) {
  std::uint32_t *words = koma2int32(px_cnvs);
  g_print("bmp_write\n");
  const char *failure = px_write_image(kind.format, path, mv_size_widht, mv_size_heigth, words);
  g_free(words);
  return failure;
}

// GdkPixbuf's writer callback: the encoded image goes into the replacement.
gboolean save_to_sink(const gchar *buf, gsize count, GError **err, gpointer data) {
  auto *sink = static_cast<FileSink *>(data);
  if (sink_write(sink, buf, count)) return TRUE;
  g_set_error_literal(err, G_FILE_ERROR, g_file_error_from_errno(sink->error),
                      g_strerror(sink->error));
  return FALSE;
}

void run_export(const ExportKind &kind) {
  g_print("%s", kind.first_trace);
  GtkWidget *chooser = gtk_file_chooser_dialog_new(
      kind.title, px_main_window ? GTK_WINDOW(px_main_window) : nullptr,
      GTK_FILE_CHOOSER_ACTION_SAVE, "gtk-cancel", GTK_RESPONSE_CANCEL, "gtk-save-as",
      GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
  char name[kTextBufSize];
  export_suggested_name(name, sizeof name, now_file_name, kind.ext);
  gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), name);

  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    gchar *path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
    g_print("menu export:%s\n", path ? path : "");
    const char *failure = path ? write_picture(kind, path) : kMsgWrite;
    if (failure) px_error(failure);
    g_free(path);
  }
  g_print("%s", kind.last_trace);
  gtk_widget_destroy(chooser);
}
}  // namespace

const char *px_write_image(ImageFormat format, const char *path, int w, int h,
                           const std::uint32_t *words) {
  if (format == ImageFormat::Bmp) {
    const FileReplace written = bmp_write_file(path, w, h, words);
    return written == FileReplace::Done ? nullptr : replace_message(written, kMsgWrite);
  }
  const std::string temp = px_temp_path(kTempFile);
  if (bmp_write(temp.c_str(), w, h, words) != 0) return kMsgTempWrite;
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

void px_set_temp_dir(const char *dir) { g_temp_dir = dir ? dir : ""; }

void export_suggested_name(char *buf, std::size_t size, const char *doc, const char *ext) {
  utf8_copy(buf, size, doc);
  g_print("l=%d\n", static_cast<int>(std::strlen(buf)));
  // Only the file's own name has an extension: a "." in a folder name stays.
  char *slash = std::strrchr(buf, '/');
  char *dot = std::strrchr(slash ? slash + 1 : buf, '.');
  g_print("l=%d\n", dot ? static_cast<int>(dot - buf) : -1);
  if (dot) *dot = '\0';
  const std::size_t ext_len = std::strlen(ext);
  const std::size_t room = size > ext_len ? size - 1 - ext_len : 0;
  buf[utf8_prefix_len(buf, room)] = '\0';
  g_print("\n%s\n", buf);
  g_strlcat(buf, ext, size);
}

void cb_export_bmp(GtkMenuItem *, gpointer) { run_export(kBmp); }
void cb_export_png(GtkMenuItem *, gpointer) { run_export(kPng); }
void cb_export_jpeg(GtkMenuItem *, gpointer) { run_export(kJpeg); }
