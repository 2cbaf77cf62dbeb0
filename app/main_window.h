// The main window: menu bar, canvas and status line.
#pragma once

// Builds and shows the main window and sets window, drawing_area,
// g_scroll_window, statas_area and px_main_window.
void crate_main_window();
