// Puts the editor's globals back to their start-up values, without windows.
#pragma once

// Resets every global to its initial value and, when w and h are given,
// allocates a white w x h canvas with no widgets (nothing is painted).
void reset_editor_state(int w = 64, int h = 64);
