#include "app/export_commands.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "app/file_commands.h"
#include "base/globals.h"
#include "base/status.h"
#include "base/text.h"
#include "files/bmp_write.h"
#include "files/image_export.h"

namespace {
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

// Writes the picture to `path`; returns what failed, or null once the file
// is written.
const char *write_picture(const ExportKind &kind, const char *path) {
  std::uint32_t *words = koma2int32(px_cnvs);
  g_print("bmp_write\n");
  const char *failure = px_write_image(kind.format, path, mv_size_widht, mv_size_heigth, words);
  g_free(words);
  return failure;
}

void run_export(const ExportKind &kind) {
  g_print("%s", kind.first_trace);
  char name[kTextBufSize];
  export_suggested_name(name, sizeof name, now_file_name, kind.ext);
  if (mv_size_widht <= 0 || mv_size_heigth <= 0) {  // said before a name is asked for
    px_show_failure(kMsgNoCells);
    g_print("%s", kind.last_trace);
    return;
  }
  GtkWidget *chooser = px_save_chooser(kind.title, name);
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    gchar *path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
    g_print("menu export:%s\n", path ? path : "");
    const char *failure = path ? write_picture(kind, path) : "ファイルに書き込めません。";
    if (failure) px_show_failure(failure);
    g_free(path);
  }
  g_print("%s", kind.last_trace);
  gtk_widget_destroy(chooser);
}
}  // namespace

void export_suggested_name(char *buf, std::size_t size, const char *doc, const char *ext) {
  utf8_copy(buf, size, doc);
  g_print("l=%d\n", static_cast<int>(std::strlen(buf)));
  // Only the file's own name has an extension: a "." in a folder name stays.
  char *slash = std::strrchr(buf, '/');
  char *dot = std::strrchr(slash ? slash + 1 : buf, '.');
  g_print("l=%d\n", dot ? static_cast<int>(dot - buf) : -1);
  if (dot) *dot = '\0';
  const std::string stem(buf);
  const std::size_t kept = utf8_fit_between(buf, size, "", stem.c_str(), ext);
  g_print("\n%.*s\n", static_cast<int>(kept), buf);
}

void cb_export_bmp(GtkMenuItem *, gpointer) { run_export(kBmp); }
void cb_export_png(GtkMenuItem *, gpointer) { run_export(kPng); }
void cb_export_jpeg(GtkMenuItem *, gpointer) { run_export(kJpeg); }
