#include "support/state.h"

#include "app/globals.h"
#include "app/text.h"
#include "canvas/cells.h"

void reset_editor_state(int w, int h) {
  dot_size = 10;
  now_window_left = now_window_right = now_window_top = now_window_bottom = 0;
  now_tool = 1;
  now_rgb[0] = now_rgb[1] = now_rgb[2] = 0;
  m_b_e = 0;
  tool_line_start = tool_box_start = tool_circle_start = 0;
  line_x = line_y = box_x = box_y = 0;
  px_old_x = px_old_y = 0;
  tz = 0;
  save_fg = 0;
  start_fg = 1;
  window = px_main_window = drawing_area = g_scroll_window = statas_area = nullptr;
  tool_bar_window = cp_main_window = preview_window = nullptr;
  change_dialog = entry_width = entry_height = change_scale_dialog = entry_size = nullptr;
  tool_bar_view_fg = color_paret_view_fg = preview_fg = 0;
  px_status_text[0] = '\0';
  utf8_copy(now_file_name, sizeof now_file_name, kUntitledName);
  cnvs_allocate(w, h, true, "error");
}

std::string whites(int n) {
  std::string s;
  while (n-- > 0) s += "255,255,255\n";
  return s;
}
