// The canvas-size dialog that New runs.
#pragma once

// Builds and runs the canvas-size dialog; returns when its run ends. Apply
// makes a new white untitled canvas of the entered size.
void cb_change();
