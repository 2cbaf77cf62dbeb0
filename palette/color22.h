// The palette: a fixed table of 10 x 22 default colours and the window
// "PALET" that shows it as swatches and hands the clicked colour to the
// drawing tools.
#pragma once

// Builds and shows the palette window; the caller sets its view flag.
void create_color_palet();
