// The KOMA document format: reading a file, parsing, formatting, writing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <glib.h>

#include "files/replace_file.h"

// How a parse ended. A refused document is not loaded at all; an incomplete
// one loads with the cells after the last readable one left white.
enum class KomaStatus {
  NotKoma,         // first line is not exactly "koma1.0\n"
  SizeUnreadable,  // the size line is not "W x H"
  SizeNegative,    // W or H below 0
  SizeTooLarge,    // W or H above kMaxCanvasSide
  Complete,        // every one of the W*H cells was read
  Incomplete,      // fewer readable cells than W*H
};

struct KomaDoc {
  KomaStatus status = KomaStatus::NotKoma;
  int width = 0;
  int height = 0;
  // r, g, b of the cells read, in row-major order; 3 * (cells read) ints.
  std::vector<int> cells;
};

// The bytes of a document file: mapped for a regular file, else read into
// memory.
struct KomaFile {
  GMappedFile *map = nullptr;
  std::string copy;
  KomaFile() = default;
  KomaFile(const KomaFile &) = delete;
  KomaFile &operator=(const KomaFile &) = delete;
  ~KomaFile();
  const char *data() const { return map ? g_mapped_file_get_contents(map) : copy.data(); }
  std::size_t size() const { return map ? g_mapped_file_get_length(map) : copy.size(); }
};

enum class KomaRead { Ok, CannotOpen };

// Reads the file at `path`: only a regular file, or a pipe, so that nothing
// keeps the caller waiting (a named pipe without a writer, a device). A
// pipe is read until its writer closes it or what follows cannot matter
// (the last cell of the announced size has come, or it is no document),
// and refused once it sends nothing for 2 s (errno is then ETIMEDOUT).
KomaRead koma_read_file(const char *path, KomaFile *out);

// Parses a whole document held in `data`. Returns true when it can be
// loaded (Complete or Incomplete). Any bytes are safe to pass.
bool koma_parse(const char *data, std::size_t len, KomaDoc *out);

// The document bytes of a w x h picture whose cells are `cells`
// (3 ints per cell, row-major).
std::string koma_format(int w, int h, const int *cells);

// The first line and the size at *p (before `end`); on Complete, *p is past
// the size line and W, H are within 0 to kMaxCanvasSide.
KomaStatus koma_read_header(const char **p, const char *end, int *w, int *h);
// Reads up to n cells at *p into dst (3 ints each), advancing *p; returns
// how many were read whole (a cell read in part may have left some ints).
std::size_t koma_read_cells(const char **p, const char *end, std::size_t n, int *dst);

// Why a document of that status is refused (NotKoma and the size statuses).
const char *koma_refusal(KomaStatus s);
// What is said of an Incomplete document that was loaded anyway.
constexpr const char *kKomaIncomplete = "ファイルが不完全です。残りは白にしました。";

// Appends the document of a w x h picture to the sink. False once a write
// failed.
bool koma_write_to(FileSink *sink, int w, int h, const int *cells);

// Writes the document of a w x h picture to `path` through px_replace_file,
// so that a failure leaves the previous file as it was.
FileReplace koma_write_file(const char *path, int w, int h, const int *cells);
