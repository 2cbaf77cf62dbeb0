// KOMA documents: the parser (bytes only), loading into the editor, writing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <glib.h>

// How a parse ended. Refusals leave the editor untouched; an incomplete
// document loads with the cells after the last readable one left white.
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

enum class KomaRead { Ok, CannotOpen, NotKoma };

// Reads the whole file at `path`, as Open does: only a regular file, or a
// pipe whose writer sends something within half a second, so that nothing
// keeps the caller waiting (a named pipe without a writer, a device).
// NotKoma when a pipe's first bytes already show that it is no document.
KomaRead koma_read_file(const char *path, KomaFile *out);

// Parses a whole document held in `data`. Returns true when it can be
// loaded (Complete or Incomplete). Any bytes are safe to pass.
bool koma_parse(const char *data, std::size_t len, KomaDoc *out);

// The document bytes of a w x h picture whose cells are `cells`
// (3 ints per cell, row-major).
std::string koma_format(int w, int h, const int *cells);

// Loads a document into the editor. Returns 1 when it was loaded (possibly
// incomplete); otherwise shows why on the status line, changes nothing and
// returns 0. Only a regular file or a pipe whose writer sends something
// within half a second is read; anything else (a named pipe without a
// writer, a device, a folder) cannot be opened, and is refused at once.
int px_open(const char *path);

// Writes the current picture to `path` through px_replace_file, so that a
// failure leaves the previous file as it was and creates no new one.
// Returns 1 on success; on failure shows a message on the status line and
// returns 0.
int px_write_document(const char *path);
