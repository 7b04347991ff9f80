#include "input_format.hpp"

#include <array>

namespace {

struct magic {
  input_kind kind;
  std::array<int, 10> bytes;  // -1 ends the magic; -2 is any byte '1' to '9'
};

// Only magics that no text file of these formats begins with: each holds a
// control byte, or a byte that cannot begin a UTF-8 character.
constexpr magic magics[] = {
    {input_kind::gzip, {0x1F, 0x8B, 0x08, -1}},
    {input_kind::bzip2, {'B', 'Z', 'h', -2, 0x31, 0x41, 0x59, 0x26, 0x53, 0x59}},
    {input_kind::bzip2, {'B', 'Z', 'h', -2, 0x17, 0x72, 0x45, 0x38, 0x50, 0x90}},  // empty stream
    {input_kind::xz, {0xFD, '7', 'z', 'X', 'Z', 0x00, -1}},
    {input_kind::zstd, {0x28, 0xB5, 0x2F, 0xFD, -1}},
    // Byte order marks, UTF-32 before the UTF-16 ones they begin with.
    {input_kind::utf32, {0xFF, 0xFE, 0x00, 0x00, -1}},
    {input_kind::utf32, {0x00, 0x00, 0xFE, 0xFF, -1}},
    {input_kind::utf16, {0xFF, 0xFE, -1}},
    {input_kind::utf16, {0xFE, 0xFF, -1}},
};

bool starts_with(std::span<const unsigned char> first, const magic& m) {
  for (std::size_t i = 0; i < m.bytes.size() && m.bytes[i] != -1; ++i) {
    if (i >= first.size()) return false;
    const int b = first[i];
    if (m.bytes[i] == -2 ? (b < '1' || b > '9') : b != m.bytes[i]) return false;
  }
  return true;
}

}  // namespace

input_sniff sniff_input(std::span<const unsigned char> first) {
  for (const magic& m : magics)
    if (starts_with(first, m)) return {m.kind, 0};
  if (first.size() >= 3 && first[0] == 0xEF && first[1] == 0xBB && first[2] == 0xBF)
    return {input_kind::text, 3};
  if (first.size() >= 4) {
    // Without a byte order mark: the zero high bytes of ASCII characters.
    // No text of these formats holds a zero byte, so nothing is mistaken.
    const std::array<bool, 4> zero = {first[0] == 0, first[1] == 0, first[2] == 0, first[3] == 0};
    if (zero == std::array{false, true, true, true} || zero == std::array{true, true, true, false})
      return {input_kind::utf32, 0};
    if (zero == std::array{false, true, false, true} || zero == std::array{true, false, true, false})
      return {input_kind::utf16, 0};
  }
  return {input_kind::text, 0};
}

const char* input_kind_name(input_kind kind) {
  switch (kind) {
    case input_kind::text:
      return "text";
    case input_kind::gzip:
      return "gzip";
    case input_kind::bzip2:
      return "bzip2";
    case input_kind::xz:
      return "xz";
    case input_kind::zstd:
      return "zstd";
    case input_kind::utf16:
      return "UTF-16";
    case input_kind::utf32:
      return "UTF-32";
  }
  return "text";
}
