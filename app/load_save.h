// The editor's document: loading a file into it, saving it, starting anew.
#pragma once

// Loads a document into the editor. Returns 1 when it was loaded (possibly
// incomplete); otherwise shows why on the status line, changes nothing and
// returns 0. Only a regular file or a pipe is read (a device or a folder
// is refused at once), and a pipe that sends nothing for 2 s is refused:
// the wait is never longer.
int px_open(const char *path);

// Replaces the picture by a w x h one with these cells (3 ints each) and
// repaints it; name, flags and title are the caller's. Returns 0, with
// everything as it was and the status line saying why, when memory ran out.
int px_show_picture(int w, int h, const int *cells);

// Writes the current picture to `path`, so that a failure leaves the
// previous file as it was and creates no new one. Returns 1 on success; on
// failure shows a message on the status line and returns 0.
int px_write_document(const char *path);

// Clears the picture and makes it the clean, untitled document, repainted;
// the title carries the size when `size_in_title` is set.
void px_start_untitled(bool size_in_title);
