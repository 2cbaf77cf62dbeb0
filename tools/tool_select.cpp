#include "tools/tool_select.h"

#include <glib.h>

#include "base/globals.h"
#include "canvas/repaint.h"
#include "tools/undo.h"

namespace {
// Forgets a pending line and a pending square or rectangle (not a pending
// circle or ellipse centre).
void tool_clear() {
  tool_line_start = 0;
  tool_box_start = 0;
}
}  // namespace

void px_get_nowtool_str(char *buf) {
  const char *name = "";
  switch (now_tool) {
    case kToolDot: name = "点"; break;
    case kToolLine: name = "線"; break;
    case kToolSquare: name = "正方形"; break;
    case kToolRect: name = "長方形"; break;
    case kToolCircle: name = "丸"; break;
    case kToolEllipse: name = "楕円"; break;
    case kToolFill: name = "塗り"; break;
    case kToolPicker: name = "スポイト"; break;
    default: break;
  }
  g_strlcpy(buf, name, kToolNameSize);
}

void px_select_tool(int code, const char *trace) {
  if (trace) g_print("%s", trace);
  if (code == kToolPicker) {
    now_tool = kToolPicker;
    px_draw_full();
    return;
  }
  tool_clear();
  now_tool = code;
  undo_state_changed();  // a pending line or box is gone
}
