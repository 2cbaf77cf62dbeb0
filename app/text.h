// Bounded text helpers shared by titles, prompts and suggested names.
#pragma once

#include <cstddef>

// Length of the longest prefix of `s` that has at most `max_bytes` bytes and
// does not end inside a UTF-8 character.
std::size_t utf8_prefix_len(const char *s, std::size_t max_bytes);

// Copies `src` into `dst` of `size` bytes, cut between UTF-8 characters when
// it does not fit; always NUL-terminates (size must be at least 1).
void utf8_copy(char *dst, std::size_t size, const char *src);
