// What an input's first bytes say it is: text, or a file that only looks
// like bytes to the field rules (compressed, or text in UTF-16 or UTF-32,
// as Excel's "Unicode Text" writes it).
#pragma once

#include <cstddef>
#include <span>

enum class input_kind { text, gzip, bzip2, xz, zstd, utf16, utf32 };

// How many of the first bytes sniff_input() needs to tell them apart.
inline constexpr std::size_t SNIFF_BYTES = 16;

struct input_sniff {
  input_kind kind;
  std::size_t byte_order_mark;  // bytes of a UTF-8 byte order mark to skip
};

// `first` holds the first SNIFF_BYTES bytes of the input, or all of a
// shorter one. Compressed files are told by their magic numbers; UTF-16 and
// UTF-32 by a byte order mark, or without one by the zero bytes of ASCII
// characters in the first four bytes.
input_sniff sniff_input(std::span<const unsigned char> first);

// "gzip", "bzip2", "xz", "zstd", "UTF-16", "UTF-32"; "text".
const char* input_kind_name(input_kind kind);
