// The status line under the canvas and the main window's title.
#pragma once

#include <cstddef>

#include "base/globals.h"

// Shows `text` on the status line: the whole line is cleared and the text
// drawn in its place. Messages, the pointer readout and failures all go here.
void px_error(const char *text);
// Told of each exposure of a status area: the first one draws again a
// message written before it, which the exposure clears (the document named on
// the command line is refused before the window is on the screen); later
// ones leave the line cleared.
void px_status_exposed(GtkWidget *area);
// Shows why something failed: "error... " followed by `why`.
void px_show_failure(const char *why);
// The text last shown on the status line, kept so that it can be read back
// without a display.
extern char px_status_text[kTextBufSize];

// Builds "KOMA ver <version>:" + now_file_name, with the size suffix
// "  ( W x H )" when `with_size` is set, into buf (cut between UTF-8
// characters to fit).
void px_make_title(char *buf, std::size_t size, bool with_size);
// Sets that title on px_main_window, if there is one.
void px_set_title(bool with_size);
