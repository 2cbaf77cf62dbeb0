#include "base/text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
// Length of the longest prefix of `s` that has at most `max_bytes` bytes and
// does not end inside a UTF-8 character.
std::size_t utf8_prefix_len(const char *s, std::size_t max_bytes) {
  std::size_t n = strnlen(s, max_bytes + 1);
  if (n <= max_bytes) return n;
  n = max_bytes;
  // Step back over continuation bytes (10xxxxxx) to the start of the
  // character that was cut, and leave that character out.
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) n--;
  return n;
}
}  // namespace

void utf8_copy(char *dst, std::size_t size, const char *src) {
  const std::size_t n = utf8_prefix_len(src, size - 1);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

std::size_t utf8_fit_between(char *buf, std::size_t size, const char *head, const char *name,
                             const char *tail) {
  const std::size_t fixed = std::strlen(head) + std::strlen(tail);
  const std::size_t room = size > fixed ? size - 1 - fixed : 0;
  const std::size_t n = utf8_prefix_len(name, room);
  std::snprintf(buf, size, "%s%.*s%s", head, static_cast<int>(n), name, tail);
  return n;
}

Decimal read_decimal(const char **p, const char *end, int *v) {
  const char *s = *p;
  while (s < end && (*s == ' ' || (*s >= '\t' && *s <= '\r'))) ++s;
  bool neg = false;
  if (s < end && (*s == '+' || *s == '-')) neg = *s++ == '-';
  if (s == end || *s < '0' || *s > '9') {
    *p = s;
    return Decimal::None;
  }
  constexpr std::int64_t kCap = std::int64_t(1) << 32;  // beyond either int bound
  std::int64_t mag = 0;
  for (; s < end && *s >= '0' && *s <= '9'; ++s)
    if (mag < kCap) mag = mag * 10 + (*s - '0');
  *p = s;
  const std::int64_t value = neg ? -mag : mag;
  if (value > INT32_MAX) return *v = INT32_MAX, Decimal::TooBig;
  if (value < INT32_MIN) return *v = INT32_MIN, Decimal::TooSmall;
  *v = static_cast<int>(value);
  return Decimal::Ok;
}

int decimal_prefix(const char *s) {
  int v = 0;
  read_decimal(&s, s + std::strlen(s), &v);
  return v;
}
