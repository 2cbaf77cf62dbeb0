// Selecting tools and naming the current one.
#pragma once

#include <cstddef>

// Tool codes held in now_tool. No tool has the code 8.
enum ToolCode {
  kToolDot = 1,
  kToolLine = 2,
  kToolSquare = 3,
  kToolRect = 4,
  kToolCircle = 5,
  kToolEllipse = 6,
  kToolFill = 7,
  kToolPicker = 9,
};

// Room for the longest tool name, "スポイト", and its terminator.
constexpr std::size_t kToolNameSize = 13;

// Writes the status-line name of the current tool into buf (kToolNameSize
// bytes at least); an empty string for a code without a tool.
void px_get_nowtool_str(char *buf);
// The selection rule of the tool bar and the Tool menu: the caller's trace,
// then a pending line or box is forgotten (a circle or ellipse centre is
// kept) and the new tool set; the colour picker instead sets its code and
// repaints the picture, forgetting nothing.
void px_select_tool(int code, const char *trace);
