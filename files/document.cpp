#include "files/document.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <gio/gio.h>
#include <glib/gstdio.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/text.h"
#include "canvas/cells.h"
#include "canvas/history.h"
#include "canvas/paint.h"

namespace {
constexpr char kMagic[] = "koma1.0\n";
constexpr std::size_t kMagicLen = sizeof kMagic - 1;
constexpr std::size_t kReadChunk = std::size_t(1) << 20;

constexpr const char *kMsgNotKoma = "error... KOMAのファイルではありません。";
constexpr const char *kMsgCannotOpen = "error... ファイルを開けません。";
constexpr const char *kMsgSizeUnreadable = "error... 大きさが読めません。";
constexpr const char *kMsgSizeNegative = "error... 大きさが負の数です。";
constexpr const char *kMsgSizeTooLarge = "error... 大きさが2048を超えています。";
constexpr const char *kMsgIncomplete = "error... ファイルが不完全です。残りは白にしました。";
constexpr const char *kMsgNoMemory = "error... メモリが足りません。";
constexpr const char *kMsgSaveIsDir = "error... 保存先がフォルダです。";
constexpr const char *kMsgSaveNoDir = "error... 保存先のフォルダがありません。";
constexpr const char *kMsgSaveNoSpace = "error... ディスクがいっぱいで保存できません。";
constexpr const char *kMsgSaveFailed = "error... 保存できませんでした。";

// ---- parsing -------------------------------------------------------------

enum class Num { None, Ok, TooBig, TooSmall };

// Reads the stream after the first line the way formatted input does.
struct Reader {
  const char *p;
  const char *end;

  static bool space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  }
  void skip_space() {
    while (p < end && space(*p)) ++p;
  }
  bool literal(char c) {
    if (p == end || *p != c) return false;
    ++p;
    return true;
  }
  // White space, an optional sign, then at least one decimal digit. Values
  // outside int are reported, never stored.
  Num number(int *v) {
    skip_space();
    bool neg = false;
    if (p < end && (*p == '+' || *p == '-')) neg = *p++ == '-';
    if (p == end || *p < '0' || *p > '9') return Num::None;
    constexpr std::int64_t kCap = std::int64_t(1) << 32;  // beyond either int bound
    std::int64_t mag = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
      if (mag < kCap) mag = mag * 10 + (*p - '0');
    const std::int64_t value = neg ? -mag : mag;
    if (value > INT32_MAX) return Num::TooBig;
    if (value < INT32_MIN) return Num::TooSmall;
    *v = static_cast<int>(value);
    return Num::Ok;
  }
};

KomaStatus read_size(Reader *r, int *w, int *h) {
  const Num nw = r->number(w);
  if (nw == Num::None) return KomaStatus::SizeUnreadable;
  r->skip_space();
  if (!r->literal('x')) return KomaStatus::SizeUnreadable;
  const Num nh = r->number(h);
  if (nh == Num::None) return KomaStatus::SizeUnreadable;
  if (nw == Num::TooSmall || nh == Num::TooSmall || (nw == Num::Ok && *w < 0) ||
      (nh == Num::Ok && *h < 0))
    return KomaStatus::SizeNegative;
  if (nw == Num::TooBig || nh == Num::TooBig || *w > kMaxCanvasSide || *h > kMaxCanvasSide)
    return KomaStatus::SizeTooLarge;
  return KomaStatus::Complete;
}

bool read_cell(Reader *r, int rgb[3]) {
  return r->number(&rgb[0]) == Num::Ok && r->literal(',') && r->number(&rgb[1]) == Num::Ok &&
         r->literal(',') && r->number(&rgb[2]) == Num::Ok;
}

// ---- formatting ----------------------------------------------------------

char *put_int(char *p, int v) { return std::to_chars(p, p + 11, v).ptr; }

// ---- loading -------------------------------------------------------------

enum class ReadResult { Ok, CannotOpen, NotKoma };

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

bool has_magic(const std::string &s) {
  return s.size() >= kMagicLen && std::memcmp(s.data(), kMagic, kMagicLen) == 0;
}

// Reads the whole file in large blocks, stopping early when its start
// already shows that it is no document (a device or a huge foreign file).
ReadResult read_document(const char *path, std::string *out) {
  FilePtr f(std::fopen(path, "rb"), &std::fclose);
  if (!f) return ReadResult::CannotOpen;
  for (;;) {
    const std::size_t old = out->size();
    out->resize(old + kReadChunk);
    const std::size_t n = std::fread(&(*out)[old], 1, kReadChunk, f.get());
    out->resize(old + n);
    if (n < kReadChunk) break;
    if (!has_magic(*out)) return ReadResult::NotKoma;
  }
  // A folder opens but cannot be read.
  return std::ferror(f.get()) ? ReadResult::CannotOpen : ReadResult::Ok;
}

const char *refusal_message(KomaStatus s) {
  switch (s) {
    case KomaStatus::SizeUnreadable: return kMsgSizeUnreadable;
    case KomaStatus::SizeNegative: return kMsgSizeNegative;
    case KomaStatus::SizeTooLarge: return kMsgSizeTooLarge;
    default: return kMsgNotKoma;
  }
}

// New buffers for the document's size. The old picture is released only
// once the new buffers exist, so that a failed allocation changes nothing.
bool replace_buffers(int w, int h) {
  int *old_cnvs = px_cnvs, *old_vtl = px_cnvs_vtl;
  const int old_w = mv_size_widht, old_h = mv_size_heigth;
  const int ok = cnvs_allocate(w, h, false, "error");
  if (!ok && std::int64_t(w) * h > 0) {
    px_cnvs = old_cnvs;
    px_cnvs_vtl = old_vtl;
    mv_size_widht = old_w;
    mv_size_heigth = old_h;
    return false;
  }
  g_free(old_cnvs);
  g_free(old_vtl);
  return true;
}

void store_cells(const KomaDoc &doc) {
  // The window is cleared and repainted right after, so the cells are only
  // stored here: an empty visible window keeps px_dot from painting.
  const int keep[4] = {now_window_left, now_window_right, now_window_top, now_window_bottom};
  now_window_left = now_window_top = 0;
  now_window_right = now_window_bottom = -1;
  const std::size_t n = doc.cells.size() / 3;
  for (std::size_t i = 0; i < n; i++) {
    const int *c = &doc.cells[3 * i];
    px_dot(px_cnvs, static_cast<int>(i % doc.width), static_cast<int>(i / doc.width), c[0],
           c[1], c[2]);
  }
  now_window_left = keep[0];
  now_window_right = keep[1];
  now_window_top = keep[2];
  now_window_bottom = keep[3];
}

void clear_canvas_window() {
  GdkWindow *w = drawing_area ? gtk_widget_get_window(drawing_area) : nullptr;
  if (w) gdk_window_clear(w);
}

// ---- writing -------------------------------------------------------------

template <typename T>
using GObjectPtr = std::unique_ptr<T, decltype(&g_object_unref)>;

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

const char *save_message(const GError *err) {
  if (err && err->domain == G_IO_ERROR) {
    if (err->code == G_IO_ERROR_IS_DIRECTORY) return kMsgSaveIsDir;
    if (err->code == G_IO_ERROR_NOT_FOUND) return kMsgSaveNoDir;
    if (err->code == G_IO_ERROR_NO_SPACE) return kMsgSaveNoSpace;
  }
  return kMsgSaveFailed;
}

// Writes `bytes` to a temporary file beside `target` and renames it over
// the target; on any failure the temporary file is dropped instead.
bool replace_file(const std::string &target, const std::string &bytes, GError **err) {
  GStatBuf st;
  // A file with several hard links would be rewritten in place; a fresh
  // file keeps the old contents whole should the write fail.
  const bool linked = g_stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink > 1;
  GObjectPtr<GFile> file(g_file_new_for_path(target.c_str()), &g_object_unref);
  GObjectPtr<GFileOutputStream> out(
      g_file_replace(file.get(), nullptr, FALSE,
                     linked ? G_FILE_CREATE_REPLACE_DESTINATION : G_FILE_CREATE_NONE, nullptr,
                     err),
      &g_object_unref);
  if (!out) return false;
  GObjectPtr<GCancellable> cancel(g_cancellable_new(), &g_object_unref);
  gsize written = 0;
  bool ok = g_output_stream_write_all(G_OUTPUT_STREAM(out.get()), bytes.data(), bytes.size(),
                                      &written, nullptr, err);
  // Closing a cancelled stream removes the temporary file and keeps the target.
  if (!ok) g_cancellable_cancel(cancel.get());
  if (!g_output_stream_close(G_OUTPUT_STREAM(out.get()), cancel.get(), ok ? err : nullptr))
    ok = false;
  if (ok && linked) g_chmod(target.c_str(), st.st_mode & 07777);
  return ok;
}
}  // namespace

bool koma_parse(const char *data, std::size_t len, KomaDoc *out) {
  *out = KomaDoc();
  if (len < kMagicLen || std::memcmp(data, kMagic, kMagicLen) != 0) return false;
  Reader r{data + kMagicLen, data + len};
  int w = 0, h = 0;
  out->status = read_size(&r, &w, &h);
  if (out->status != KomaStatus::Complete) return false;
  out->width = w;
  out->height = h;
  const std::size_t n = std::size_t(w) * std::size_t(h);
  // Each cell takes at least 5 bytes: reserve no more than the input can fill.
  out->cells.reserve(3 * std::min(n, len / 5 + 1));
  for (std::size_t i = 0; i < n; i++) {
    int rgb[3];
    if (!read_cell(&r, rgb)) {
      out->status = KomaStatus::Incomplete;
      break;
    }
    out->cells.insert(out->cells.end(), rgb, rgb + 3);
  }
  return true;
}

std::string koma_format(int w, int h, const int *cells) {
  static const int kMissing[3] = {-1, -1, -1};  // what a read outside the buffer yields
  std::string out;
  const std::size_t n = w > 0 && h > 0 ? std::size_t(w) * std::size_t(h) : 0;
  out.reserve(64 + 12 * n);
  char line[48];
  char *p = put_int(line, w);
  p = std::copy_n(" x ", 3, p);
  p = put_int(p, h);
  *p++ = '\n';
  out.append(kMagic, kMagicLen).append(line, p);
  for (std::size_t i = 0; i < n; i++) {
    const int *c = cells ? cells + 3 * i : kMissing;
    p = put_int(line, c[0]);
    *p++ = ',';
    p = put_int(p, c[1]);
    *p++ = ',';
    p = put_int(p, c[2]);
    *p++ = '\n';
    out.append(line, p);
  }
  return out;
}

int px_open(const char *path) {
  // The name is kept in now_file_name; a longer one could not be saved back.
  if (std::strlen(path) >= sizeof now_file_name) {
    px_error(kMsgCannotOpen);
    return 0;
  }
  KomaDoc doc;
  try {
    std::string bytes;
    const ReadResult read = read_document(path, &bytes);
    if (read != ReadResult::Ok) {
      px_error(read == ReadResult::NotKoma ? kMsgNotKoma : kMsgCannotOpen);
      return 0;
    }
    if (!koma_parse(bytes.data(), bytes.size(), &doc)) {
      px_error(refusal_message(doc.status));
      return 0;
    }
  } catch (const std::bad_alloc &) {
    px_error(kMsgNoMemory);
    return 0;
  }
  g_print("%d,%d", doc.width, doc.height);
  if (!replace_buffers(doc.width, doc.height)) {
    px_error(kMsgNoMemory);
    return 0;
  }
  if (drawing_area)
    gtk_widget_set_size_request(drawing_area, dot_size * mv_size_widht,
                                dot_size * mv_size_heigth);
  store_cells(doc);
  save_fg = 0;
  start_fg = 0;
  clear_canvas_window();
  px_draw_full();
  utf8_copy(now_file_name, sizeof now_file_name, path);
  px_set_title(true);
  if (doc.status == KomaStatus::Incomplete) px_error(kMsgIncomplete);
  return 1;
}

int px_write_document(const char *path) {
  std::string bytes;
  try {
    bytes = koma_format(mv_size_widht, mv_size_heigth, px_cnvs);
  } catch (const std::bad_alloc &) {
    px_error(kMsgNoMemory);
    return 0;
  }
  GError *err = nullptr;
  const bool ok = replace_file(write_target(path), bytes, &err);
  if (ok)
    history_mark_saved();  // undo back to this picture makes it clean again
  else
    px_error(save_message(err));
  g_clear_error(&err);
  return ok ? 1 : 0;
}
