#include "app/startup.h"

#include "app/globals.h"
#include "app/main_window.h"
#include "app/text.h"
#include "canvas/cells.h"
#include "files/document.h"
#include "palette/color22.h"
#include "tools/tool_bar.h"

void koma_start(int argc, char **argv) {
  cnvs_allocate(mv_size_widht, mv_size_heigth, false, "error main");
  utf8_copy(now_file_name, sizeof now_file_name, kUntitledName);
  crate_main_window();
  create_tool_bar();
  create_color_palet();
  tool_bar_view_fg = 1;
  color_paret_view_fg = 1;
  save_fg = 0;
  start_fg = 1;
  if (argc == 2) px_open(argv[1]);
}
