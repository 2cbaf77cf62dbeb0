// The tool-bar window "TOOL": one picture button per drawing tool.
#pragma once

// Builds and shows the window; the caller sets its view flag.
void create_tool_bar();
