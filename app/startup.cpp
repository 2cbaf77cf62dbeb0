#include "app/startup.h"

#include <csignal>

#include "app/load_save.h"
#include "app/main_window.h"
#include "app/recovery.h"
#include "base/globals.h"
#include "base/text.h"
#include "canvas/cells.h"
#include "palette/color22.h"
#include "tools/tool_bar.h"

void koma_start(int argc, char **argv) {
  // A file-size limit then makes a write fail, which is reported like a full
  // disk, instead of ending the program with the picture unsaved.
  std::signal(SIGXFSZ, SIG_IGN);
  // There are no buffers yet; releasing them lets a failed allocation leave
  // an empty canvas rather than a size without cells.
  cnvs_allocate(mv_size_widht, mv_size_heigth, true, "error main");
  utf8_copy(now_file_name, sizeof now_file_name, kUntitledName);
  crate_main_window();
  create_tool_bar();
  create_color_palet();
  tool_bar_view_fg = 1;
  color_paret_view_fg = 1;
  save_fg = 0;
  start_fg = 1;
  if (recovery_start(argc == 2 ? argv[1] : nullptr)) return;
  if (argc == 2) px_open(argv[1]);
}
