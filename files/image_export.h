// Writing a picture as a BMP, PNG or JPEG image.
#pragma once

#include <cstdint>
#include <string>

enum class ImageFormat { Bmp, Png, Jpeg };

// Why a picture without cells (a width or a height of 0) is not exported:
// its BMP would be a header alone, which GdkPixbuf cannot read either.
constexpr const char *kMsgNoCells = "マスが一つもない絵は書き出せません。";

// Writes a w x h picture of packed words (see koma_pack) to `path`: BMP by
// bmp_write itself, PNG and JPEG through a temporary BMP that GdkPixbuf
// reads. The file is replaced whole (px_replace_file), so a failure leaves
// an old file as it was. Needs no display. Returns null once the file is
// written, else what failed.
const char *px_write_image(ImageFormat format, const char *path, int w, int h,
                           const std::uint32_t *words);

// Where the temporary BMP `name` of an export or of the preview goes: the
// folder given to px_set_temp_dir, if any; else the working directory (the
// bare name) when a file can be made there; else the user's cache folder
// (<cache>/koma, made when missing).
std::string px_temp_path(const char *name);
// Writes the temporary BMP `name` there, replacing whatever lies under that
// name, a link included, without following it. Returns its path, or "" when
// it could not be written.
std::string px_write_temp_bmp(const char *name, int w, int h, const std::uint32_t *words);
// Sends the temporary files to `dir` from now on; null goes back to the
// working directory or the cache folder.
void px_set_temp_dir(const char *dir);
