// The File menu's export submenu: BMP, PNG and JPEG.
#pragma once

#include <cstddef>

#include <gtk/gtk.h>

// "activate" callbacks: each asks for a path with a chooser and writes the
// whole picture there at one pixel per cell. Failures go to the status line.
void cb_export_bmp(GtkMenuItem *item, gpointer data);
void cb_export_png(GtkMenuItem *item, gpointer data);
void cb_export_jpeg(GtkMenuItem *item, gpointer data);

// The name offered by the export chooser for the document `doc`: its
// extension (a "." in the last path component) replaced by `ext`, built in
// buf of `size` bytes and cut between UTF-8 characters so that `ext` fits.
// Prints the length, the position of that "." (or -1) and the stem.
void export_suggested_name(char *buf, std::size_t size, const char *doc, const char *ext);
