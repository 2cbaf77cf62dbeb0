#include "files/document.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <glib.h>

#include "base/globals.h"
#include "base/text.h"
#include "files/replace_file.h"

namespace {
constexpr char kMagic[] = "koma1.0\n";
constexpr std::size_t kMagicLen = sizeof kMagic - 1;

// ---- parsing -------------------------------------------------------------

// Reads the stream after the first line the way formatted input does.
struct Reader {
  const char *p;
  const char *end;

  static bool space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  }
  void skip_space() {
    while (p < end && space(*p)) ++p;
  }
  bool literal(char c) {
    if (p == end || *p != c) return false;
    ++p;
    return true;
  }
  Decimal number(int *v) { return read_decimal(&p, end, v); }
};

KomaStatus read_size(Reader *r, int *w, int *h) {
  // Values beyond int come back as the nearest int, which the bounds refuse.
  if (r->number(w) == Decimal::None) return KomaStatus::SizeUnreadable;
  r->skip_space();
  if (!r->literal('x')) return KomaStatus::SizeUnreadable;
  if (r->number(h) == Decimal::None) return KomaStatus::SizeUnreadable;
  if (*w < 0 || *h < 0) return KomaStatus::SizeNegative;
  if (*w > kMaxCanvasSide || *h > kMaxCanvasSide) return KomaStatus::SizeTooLarge;
  return KomaStatus::Complete;
}

// Value of the one to three digits at p (the bytes after them are ignored).
int digits_value(const char *p, unsigned len) {
  std::uint32_t x;
  std::memcpy(&x, p, 4);
  const std::uint32_t y = (x ^ 0x30303030u) << (8 * (4 - len));  // digits in the top bytes
  return int(((y >> 8) & 0xFF) * 100 + ((y >> 16) & 0xFF) * 10 + (y >> 24));
}

// The cell line as the writer makes it ("r,g,b" of one to three digits
// each, after one line break), read sixteen bytes at a time: both commas and
// the end are found together, so that from one cell to the next only the
// line's length has to be worked out. False leaves the reader where it was,
// for the general path.
bool canonical_cell(Reader *r, int rgb[3]) {
#ifdef __SSE2__
  const char *q = r->p;
  if (r->end - q < 17) return false;
  q += *q == '\n';
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
  const unsigned commas = _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(',')));
  const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8('0'));
  const unsigned digits =
      _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d));
  const unsigned second = commas & (commas - 1);
  if (!second) return false;
  const unsigned a = __builtin_ctz(commas), b = __builtin_ctz(second);
  const unsigned c = __builtin_ctz(~digits & ~((2u << b) - 1));  // first non-digit after b
  const unsigned before_c = (1u << c) - 1;
  if (a - 1 > 2 || b - a - 2 > 2 || c - b - 2 > 2 ||
      (digits & before_c) != (before_c & ~(1u << a) & ~(1u << b)))
    return false;
  rgb[0] = digits_value(q, a);
  rgb[1] = digits_value(q + a + 1, b - a - 1);
  rgb[2] = digits_value(q + b + 1, c - b - 1);
  r->p = q + c;
  return true;
#else
  (void)r;
  (void)rgb;
  return false;
#endif
}

bool read_cell(Reader *r, int rgb[3]) {
  return canonical_cell(r, rgb) ||
         (r->number(&rgb[0]) == Decimal::Ok && r->literal(',') &&
          r->number(&rgb[1]) == Decimal::Ok && r->literal(',') &&
          r->number(&rgb[2]) == Decimal::Ok);
}

// The magic line and the size; Complete when both are acceptable.
KomaStatus read_header(Reader *r, int *w, int *h) {
  if (r->end - r->p < std::ptrdiff_t(kMagicLen) || std::memcmp(r->p, kMagic, kMagicLen) != 0)
    return KomaStatus::NotKoma;
  r->p += kMagicLen;
  return read_size(r, w, h);
}

// Reads up to n cells into dst (3 ints each); returns how many were read.
std::size_t read_cells(Reader *r, std::size_t n, int *dst) {
  std::size_t i = 0;
  while (i < n && read_cell(r, dst + 3 * i)) i++;
  return i;
}

// ---- formatting ----------------------------------------------------------

// Decimal text of 0..255, the components the tools store, looked up.
struct SmallNumbers {
  char text[256][4];
  unsigned char len[256];
  SmallNumbers() {
    for (int v = 0; v < 256; v++) len[v] = std::to_chars(text[v], text[v] + 4, v).ptr - text[v];
  }
};
const SmallNumbers kSmall;

// Writes v's decimal text at p; may write up to three bytes past its end,
// which the callers leave room for.
char *put_int(char *p, int v) {
  if (static_cast<unsigned>(v) < 256) {
    std::memcpy(p, kSmall.text[v], 4);  // one fixed-size copy, not a call per byte count
    return p + kSmall.len[v];
  }
  return std::to_chars(p, p + 11, v).ptr;
}

// The document text of a w x h picture, made in blocks that are handed to
// put(block, size) in order; stops early when put returns false. Blocks keep
// the memory small and let writing start before the text is complete.
template <typename Put>
bool format_blocks(int w, int h, const int *cells, Put put) {
  static const int kMissing[3] = {-1, -1, -1};  // what a read outside the buffer yields
  constexpr std::size_t kBlock = std::size_t(1) << 16;
  constexpr std::size_t kLongestLine = 3 * 11 + 3 + 3;  // put_int may write three bytes ahead
  char block[kBlock + kLongestLine + 64];
  char *p = std::copy_n(kMagic, kMagicLen, block);
  p = put_int(p, w);
  p = std::copy_n(" x ", 3, p);
  p = put_int(p, h);
  *p++ = '\n';
  const std::size_t n = w > 0 && h > 0 ? std::size_t(w) * std::size_t(h) : 0;
  for (std::size_t i = 0; i < n; i++) {
    const int *c = cells ? cells + 3 * i : kMissing;
    p = put_int(p, c[0]);
    *p++ = ',';
    p = put_int(p, c[1]);
    *p++ = ',';
    p = put_int(p, c[2]);
    *p++ = '\n';
    if (p - block >= std::ptrdiff_t(kBlock)) {
      if (!put(block, p - block)) return false;
      p = block;
    }
  }
  return put(block, p - block);
}

// ---- reading the file --------------------------------------------------

// A pipe that sends nothing for this long is refused: its writer has
// stalled, or there is none (a named pipe that nobody writes).
constexpr int kPipeSilenceMs = 2000;
// Through a pipe, the header and each cell must come within kMaxStretch
// bytes, and the whole document, white space included, within kMaxStretch
// more than kMaxBytesPerCell for each cell of its announced size; nothing
// beyond is read.
constexpr std::size_t kMaxStretch = 4096;
constexpr std::size_t kMaxBytesPerCell = 64;

struct Fd {
  int fd;
  Fd(const Fd &) = delete;
  Fd &operator=(const Fd &) = delete;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

// Follows a document as it arrives through a pipe, to tell when the rest
// cannot matter: its last cell has come, it cannot be a document at all, or
// it has sent more than a document of its size would. Nothing after that is
// read, so that a writer without end cannot fill the memory. Each call reads
// only what the last one could not decide.
struct Arrival {
  bool header = false;
  std::size_t at = 0;  // after the header: where the next cell starts
  std::size_t cells_left = 0;
  std::size_t limit = kMaxStretch;

  // Reads the header once all of it has come (header is then set); true
  // when it refuses the document, whatever follows.
  bool refused_header(const std::string &s) {
    Reader r{s.data(), s.data() + s.size()};
    int w = 0, h = 0;
    const KomaStatus status = read_header(&r, &w, &h);
    if (status == KomaStatus::NotKoma)  // or the first line so far
      return s.size() >= kMagicLen || std::memcmp(s.data(), kMagic, s.size()) != 0;
    if (r.p == r.end) return false;  // the size may go on
    if (status != KomaStatus::Complete) return true;
    header = true;
    at = r.p - s.data();
    cells_left = std::size_t(w) * std::size_t(h);
    limit = at + kMaxStretch + cells_left * kMaxBytesPerCell;
    return false;
  }

  // Whether the rest of `s`, all that has come so far, cannot matter.
  bool done(const std::string &s) {
    if (s.size() >= limit) return true;
    if (!header) {
      if (refused_header(s)) return true;
      if (!header) return false;  // not all of it yet
    }
    Reader r{s.data() + at, s.data() + s.size()};
    for (int rgb[3]; cells_left > 0; cells_left--) {
      r.skip_space();
      at = r.p - s.data();
      // A cell that reaches the end may go on; one that fails before it
      // ends the document.
      if (!read_cell(&r, rgb) || r.p == r.end)
        return r.p < r.end || s.size() - at >= kMaxStretch;
    }
    return true;
  }
};

// Reads a pipe (or a file that cannot be mapped) until its writer is done
// or the rest cannot matter (see Arrival); refused after a silence of
// kPipeSilenceMs, with errno ETIMEDOUT.
KomaRead read_stream(int fd, std::string *out) {
  Arrival arrival;
  std::vector<char> buf(std::size_t(1) << 16);
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, kPipeSilenceMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) errno = ETIMEDOUT;
    if (ready <= 0) return KomaRead::CannotOpen;
    const ssize_t got = read(fd, buf.data(), buf.size());
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (got < 0) return KomaRead::CannotOpen;
    if (got == 0) return KomaRead::Ok;  // the writer has closed it
    out->append(buf.data(), std::size_t(got));
    if (arrival.done(*out)) return KomaRead::Ok;
  }
}

// Reads the whole file: only a regular file or a pipe that sends something,
// so that nothing can keep the editor waiting (a named pipe without a
// writer, a device).
KomaRead read_document(const char *path, KomaFile *out) {
  // Without O_NONBLOCK, opening a named pipe would wait for a writer.
  Fd f{open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  struct stat st;
  if (f.fd < 0 || fstat(f.fd, &st) != 0) return KomaRead::CannotOpen;
  if (S_ISFIFO(st.st_mode)) return read_stream(f.fd, &out->copy);
  if (!S_ISREG(st.st_mode)) return KomaRead::CannotOpen;  // a folder, a device, a socket
  out->map = g_mapped_file_new_from_fd(f.fd, FALSE, nullptr);
  return out->map ? KomaRead::Ok : read_stream(f.fd, &out->copy);
}

}  // namespace

KomaFile::~KomaFile() {
  if (map) g_mapped_file_unref(map);
}

KomaRead koma_read_file(const char *path, KomaFile *out) { return read_document(path, out); }

bool koma_parse(const char *data, std::size_t len, KomaDoc *out) {
  *out = KomaDoc();
  Reader r{data, data + len};
  out->status = read_header(&r, &out->width, &out->height);
  if (out->status != KomaStatus::Complete) return false;
  const std::size_t n = std::size_t(out->width) * std::size_t(out->height);
  // Each cell takes at least 5 bytes: room for no more than the input can fill.
  out->cells.resize(3 * std::min(n, len / 5 + 1));
  const std::size_t got = read_cells(&r, n, out->cells.data());
  out->cells.resize(3 * got);
  if (got < n) out->status = KomaStatus::Incomplete;
  return true;
}

std::string koma_format(int w, int h, const int *cells) {
  std::string out;
  format_blocks(w, h, cells, [&out](const char *block, std::size_t n) {
    out.append(block, n);
    return true;
  });
  return out;
}

const char *koma_refusal(KomaStatus s) {
  switch (s) {
    case KomaStatus::SizeUnreadable: return "大きさが読めません。";
    case KomaStatus::SizeNegative: return "大きさが負の数です。";
    case KomaStatus::SizeTooLarge: return "大きさが2048を超えています。";
    default: return "KOMAのファイルではありません。";
  }
}

KomaStatus koma_read_header(const char **p, const char *end, int *w, int *h) {
  Reader r{*p, end};
  const KomaStatus status = read_header(&r, w, h);
  *p = r.p;
  return status;
}

std::size_t koma_read_cells(const char **p, const char *end, std::size_t n, int *dst) {
  Reader r{*p, end};
  const std::size_t got = read_cells(&r, n, dst);
  *p = r.p;
  return got;
}

bool koma_write_to(FileSink *sink, int w, int h, const int *cells) {
  return format_blocks(w, h, cells, [sink](const char *block, std::size_t n) {
    return sink_write(sink, block, n);
  });
}

FileReplace koma_write_file(const char *path, int w, int h, const int *cells) {
  return px_replace_file(path, [&](FileSink *sink) { return koma_write_to(sink, w, h, cells); });
}
