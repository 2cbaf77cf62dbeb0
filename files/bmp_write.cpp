#include "files/bmp_write.h"

#include <charconv>
#include <cstdio>

#include <glib.h>

#include "base/globals.h"

// The pixel array goes to the file as it lies in memory, which gives the
// BMP byte order (blue, green, red, 0) only on a little-endian machine.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "bmp_write writes the packed words in host byte order");

namespace {
constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kHeaderSize = kFileHeaderSize + kInfoHeaderSize;  // 54
constexpr std::uint32_t kPelsPerMeter = 37800;
constexpr std::uint16_t kBitCount = 32;
constexpr std::size_t kMaxTraceLine = 12;  // "-2147483648\n"

void put16(unsigned char *p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char *p, std::uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t pack(const int *rgb) {
  const std::uint32_t r = static_cast<std::uint32_t>(rgb[0]);
  const std::uint32_t g = static_cast<std::uint32_t>(rgb[1]);
  const std::uint32_t b = static_cast<std::uint32_t>(rgb[2]);
  return (r * 256u + g) * 256u + b;
}

// One "%d\n" line per word, printed in large blocks: a million separate
// prints would dominate the time of a large export, and one block of the
// whole text would be copied again by the print function.
void print_words(const std::uint32_t *words, std::size_t n) {
  constexpr std::size_t kBlock = std::size_t(1) << 16;
  char text[kBlock + kMaxTraceLine + 1];
  char *p = text;
  for (std::size_t i = 0; i < n; i++) {
    p = std::to_chars(p, p + kMaxTraceLine, static_cast<std::int32_t>(words[i])).ptr;
    *p++ = '\n';
    if (p - text >= std::ptrdiff_t(kBlock) || i + 1 == n) {
      *p = '\0';
      g_print("%s", text);
      p = text;
    }
  }
}
}  // namespace

std::uint32_t *koma_pack(const int *cells, int w, int h) {
  const std::size_t n = std::size_t(w > 0 ? w : 0) * std::size_t(h > 0 ? h : 0);
  auto *words = static_cast<std::uint32_t *>(g_try_malloc_n(n, sizeof(std::uint32_t)));
  if (!words) return nullptr;
  if (cells) {
    for (std::size_t i = 0; i < n; i++) words[i] = pack(cells + 3 * i);  // row-major, as stored
  } else {
    static const int kMissing[3] = {-1, -1, -1};  // what a read without a buffer yields
    for (std::size_t i = 0; i < n; i++) words[i] = pack(kMissing);
  }
  return words;
}

std::uint32_t *koma2int32(int *buf) {
  std::uint32_t *words = koma_pack(buf, mv_size_widht, mv_size_heigth);
  if (!words) {
    g_print("error koma2int32\n");
    return nullptr;
  }
  const int w = mv_size_widht > 0 ? mv_size_widht : 0;
  const int h = mv_size_heigth > 0 ? mv_size_heigth : 0;
  print_words(words, std::size_t(w) * std::size_t(h));
  return words;
}

FileReplace bmp_write_file(const char *path, int w, int h, const std::uint32_t *pixels,
                           FileKind kind) {
  if (w < 0 || h < 0) return FileReplace::Failed;
  const std::uint64_t data = 4ull * std::uint64_t(w) * std::uint64_t(h);
  // The sizes must fit their 32-bit fields, and there must be pixels to write.
  if (data + kHeaderSize > UINT32_MAX || (data > 0 && !pixels)) return FileReplace::Failed;

  return px_replace_file(path, [&](FileSink *f) {
    g_print("bmp_write\n");
    if (!sink_write(f, "BM", 2)) return false;
    unsigned char fh[kFileHeaderSize - 2] = {};  // after the signature
    unsigned char ih[kInfoHeaderSize] = {};
    put32(fh + 0, static_cast<std::uint32_t>(kHeaderSize + data));  // bfSize
    put32(fh + 8, kHeaderSize);                                     // bfOffBits
    put32(ih + 0, kInfoHeaderSize);                                 // biSize
    put32(ih + 4, static_cast<std::uint32_t>(w));                   // biWidth
    put32(ih + 8, static_cast<std::uint32_t>(-h));                  // biHeight: top row first
    put16(ih + 12, 1);                                              // biPlanes
    put16(ih + 14, kBitCount);                                      // biBitCount
    put32(ih + 20, static_cast<std::uint32_t>(data));               // biSizeImage
    put32(ih + 24, kPelsPerMeter);                                  // biXPelsPerMeter
    put32(ih + 28, kPelsPerMeter);                                  // biYPelsPerMeter
    g_print("bmp_write2\n");
    if (!sink_write(f, fh, sizeof fh)) return false;
    g_print("bmp_write3\n");
    if (!sink_write(f, ih, sizeof ih)) return false;
    g_print("bmp_write4\n");
    if (data > 0 && !sink_write(f, pixels, data)) return false;
    g_print("bmp_write5\n");
    return true;
  }, kind);
}

int bmp_write(const char *path, int w, int h, const std::uint32_t *pixels) {
  return bmp_write_file(path, w, h, pixels) == FileReplace::Done ? 0 : EOF;
}
