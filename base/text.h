// Bounded text: names cut between UTF-8 characters, and decimal numbers.
#pragma once

#include <cstddef>

// Copies `src` into `dst` of `size` bytes, cut between UTF-8 characters when
// it does not fit; always NUL-terminates (size must be at least 1).
void utf8_copy(char *dst, std::size_t size, const char *src);

// Builds head + name + tail into buf of `size` bytes, shortening only the
// name (between UTF-8 characters) so that head and tail fit whole where they
// can. Returns how many bytes of the name were kept.
std::size_t utf8_fit_between(char *buf, std::size_t size, const char *head, const char *name,
                             const char *tail);

enum class Decimal { None, Ok, TooBig, TooSmall };

// Reads a decimal integer at *p (before `end`) as formatted input does:
// white space, an optional sign, then at least one digit. Advances *p past
// what was read. A value beyond int gives TooBig or TooSmall and *v the
// nearest int; None (no digits) leaves *v alone.
Decimal read_decimal(const char **p, const char *end, int *v);

// The decimal prefix of `s` (white space, sign, digits; the first other
// character ends it): 0 without digits, the nearest int beyond int's range.
int decimal_prefix(const char *s);
