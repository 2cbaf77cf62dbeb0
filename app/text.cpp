#include "app/text.h"

#include <cstring>

std::size_t utf8_prefix_len(const char *s, std::size_t max_bytes) {
  std::size_t n = strnlen(s, max_bytes + 1);
  if (n <= max_bytes) return n;
  n = max_bytes;
  // Step back over continuation bytes (10xxxxxx) to the start of the
  // character that was cut, and leave that character out.
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) n--;
  return n;
}

void utf8_copy(char *dst, std::size_t size, const char *src) {
  const std::size_t n = utf8_prefix_len(src, size - 1);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}
