// Exporting the picture as BMP, PNG and JPEG (File menu, export submenu).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <gtk/gtk.h>

// "activate" callbacks: each asks for a path with a chooser and writes the
// whole picture there at one pixel per cell. Failures go to the status line.
void cb_export_bmp(GtkMenuItem *item, gpointer data);
void cb_export_png(GtkMenuItem *item, gpointer data);
void cb_export_jpeg(GtkMenuItem *item, gpointer data);

enum class ImageFormat { Bmp, Png, Jpeg };

// Writes a w x h picture of packed words (see koma_pack) to `path`: BMP by
// bmp_write itself, PNG and JPEG through a temporary BMP that GdkPixbuf
// reads. The file is replaced whole (px_replace_file), so a failure leaves
// an old file as it was. Needs no display. Returns null once the file is
// written, else the status-line message that says what failed.
const char *px_write_image(ImageFormat format, const char *path, int w, int h,
                           const std::uint32_t *words);

// Where the temporary BMP `name` of an export or of the preview goes: the
// folder given to px_set_temp_dir, if any; else the working directory (the
// bare name) when a file can be made there; else the user's cache folder
// (<cache>/koma, made when missing).
std::string px_temp_path(const char *name);
// Sends the temporary files to `dir` from now on; null goes back to the
// working directory or the cache folder.
void px_set_temp_dir(const char *dir);

// The name offered by the export chooser for the document `doc`: its
// extension (a "." in the last path component) replaced by `ext`, built in
// buf of `size` bytes and cut between UTF-8 characters so that `ext` fits.
// Prints the length, the position of that "." (or -1) and the stem.
void export_suggested_name(char *buf, std::size_t size, const char *doc, const char *ext);
