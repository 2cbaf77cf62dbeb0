// The picture as packed 32-bit pixels, and the program's own BMP writer.
#pragma once

#include <cstdint>

#include "files/replace_file.h"

// Packs every cell of `buf` (mv_size_widht x mv_size_heigth, top row first)
// into one word ((r * 256 + g) * 256 + b), in unsigned 32-bit arithmetic so
// that components outside 0..255 wrap. Prints each word with "%d\n". Returns
// a new array that the caller releases with g_free; when no block can be had
// (always so for a canvas without cells) prints "error koma2int32" and
// returns null.
std::uint32_t *koma2int32(int *buf);
// The same packing of a w x h picture held in `cells` (3 ints per cell,
// row-major; null reads as -1, -1, -1), without the trace. Null when no
// block can be had, always so for a picture without cells.
std::uint32_t *koma_pack(const int *cells, int w, int h);

// Writes a top-down 32-bit BMP of w x h pixels to `path`, replacing the file
// whole (px_replace_file): a failure leaves an old file as it was and no new
// one. Returns 0 once the file is written, EOF otherwise.
int bmp_write(const char *path, int w, int h, const std::uint32_t *pixels);
// The same, telling what failed; a temporary file (`kind`) is replaced
// without following a link.
FileReplace bmp_write_file(const char *path, int w, int h, const std::uint32_t *pixels,
                           FileKind kind = FileKind::UserFile);
