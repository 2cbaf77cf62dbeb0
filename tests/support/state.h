// Puts the editor's globals back to their start-up values, without windows.
#pragma once

#include <string>

// Resets every global to its initial value and, when w and h are given,
// allocates a white w x h canvas with no widgets (nothing is painted).
void reset_editor_state(int w = 64, int h = 64);
// n lines of a white cell as a document holds them, written out by hand.
std::string whites(int n);
