// The preview window: the picture at one screen pixel per cell.
#pragma once

// Writes the picture to a temporary BMP and builds and shows a new preview
// window from it in preview_window. Leaves preview_fg alone.
void preview();
