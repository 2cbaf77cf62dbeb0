#include "app/load_save.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include <glib.h>

#include "app/recovery.h"
#include "base/globals.h"
#include "base/status.h"
#include "base/text.h"
#include "canvas/cells.h"
#include "canvas/history.h"
#include "canvas/repaint.h"
#include "files/document.h"
#include "files/replace_file.h"

namespace {
constexpr const char *kMsgCannotOpen = "ファイルを開けません。";
constexpr const char *kMsgNoMemory = "メモリが足りません。";

// New buffers for the document's size. A failed allocation changes
// nothing: the old picture, its overlay and its undo history stay.
bool replace_buffers(int w, int h) {
  int *old_cnvs = px_cnvs, *old_vtl = px_cnvs_vtl;
  if (!cnvs_allocate(w, h, false, "error") && std::int64_t(w) * h > 0) return false;
  g_free(old_cnvs);
  g_free(old_vtl);
  return true;
}

// Buffers for a w x h picture, and the canvas area sized for it; false
// (the status line says why) leaves everything as it was.
bool new_picture(int w, int h) {
  if (!replace_buffers(w, h)) {
    px_show_failure(kMsgNoMemory);
    return false;
  }
  px_size_canvas_area();
  return true;
}

void show_picture() {
  px_clear_canvas_window();
  px_draw_full();
}

const char *save_message(FileReplace result) {
  if (result == FileReplace::TargetIsFolder) return "保存先がフォルダです。";
  if (result == FileReplace::NoFolder) return "保存先のフォルダがありません。";
  return replace_message(result, "保存できませんでした。");
}
}  // namespace

int px_open(const char *path) {
  // The name is kept in now_file_name; a longer one could not be saved back.
  if (std::strlen(path) >= sizeof now_file_name) {
    px_show_failure(kMsgCannotOpen);
    return 0;
  }
  KomaFile bytes;
  const KomaRead read = koma_read_file(path, &bytes);
  if (read != KomaRead::Ok) {
    px_show_failure(kMsgCannotOpen);
    return 0;
  }
  const char *p = bytes.data(), *end = bytes.data() + bytes.size();
  int w = 0, h = 0;
  const KomaStatus header = koma_read_header(&p, end, &w, &h);
  if (header != KomaStatus::Complete) {
    px_show_failure(koma_refusal(header));
    return 0;
  }
  g_print("%d,%d", w, h);
  if (!new_picture(w, h)) return 0;
  // The cells go straight into the new, white picture: nothing is painted
  // here, since the window is repainted below, and a freshly opened picture
  // is no undoable change.
  const std::size_t n = std::size_t(w) * std::size_t(h);
  const std::size_t got = px_cnvs ? koma_read_cells(&p, end, n, px_cnvs) : 0;
  if (got < n && px_cnvs) std::fill_n(px_cnvs + 3 * got, 3, 255);  // a cell read in part
  save_fg = 0;
  start_fg = 0;
  recovery_discard();
  show_picture();
  utf8_copy(now_file_name, sizeof now_file_name, path);
  px_set_title(true);
  if (got < n) px_show_failure(kKomaIncomplete);
  return 1;
}

int px_show_picture(int w, int h, const int *cells) {
  if (!new_picture(w, h)) return 0;
  if (px_cnvs) std::copy_n(cells, 3 * std::size_t(w) * std::size_t(h), px_cnvs);
  show_picture();
  return 1;
}

int px_write_document(const char *path) {
  const FileReplace result = koma_write_file(path, mv_size_widht, mv_size_heigth, px_cnvs);
  if (result != FileReplace::Done) {
    px_show_failure(save_message(result));
    return 0;
  }
  history_mark_saved();  // undo back to this picture makes it clean again
  recovery_discard();    // the file holds the picture now
  return 1;
}

void px_start_untitled(bool size_in_title) {
  recovery_discard();
  cnvs_claer_full();
  px_draw_full();
  utf8_copy(now_file_name, sizeof now_file_name, kUntitledName);
  px_set_title(size_in_title);
  save_fg = 0;
  start_fg = 1;
}
