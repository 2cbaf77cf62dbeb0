// Start-up of the editor after the toolkit is initialised.
#pragma once

// Ignores SIGXFSZ (a file-size limit fails the write instead), allocates and
// clears the buffers, names the untitled document, builds the start-up
// windows, sets the flags, offers the pictures that programs which died
// left behind, and, unless one was restored, opens the document named by
// the one argument left after the toolkit removed its options.
void koma_start(int argc, char **argv);
