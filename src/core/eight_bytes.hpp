// Eight bytes of text in one 64-bit word, tested all at once (SWAR).
//
// A word is always loaded little-endian, whatever the CPU: byte 0 of the
// text is the word's lowest byte, so "the first byte that..." is the
// lowest flagged one on every platform. The compilers turn load() into a
// single load (and a byte swap on big-endian CPUs).
#pragma once

#include <bit>
#include <cstdint>

namespace eight_bytes {

inline constexpr std::uint64_t ones = 0x0101010101010101U;
inline constexpr std::uint64_t high_bits = 0x8080808080808080U;

inline std::uint64_t load(const unsigned char* bytes) {
  std::uint64_t word = 0;
  for (int i = 0; i < 8; ++i) word |= std::uint64_t{bytes[i]} << (8 * i);
  return word;
}

// The high bit of every byte below `limit` (at most 0x80). Exact for the
// first such byte; a byte after it may be flagged wrongly by the borrow.
constexpr std::uint64_t below(std::uint64_t word, unsigned limit) {
  return (word - ones * limit) & ~word & high_bits;
}

// The index (0 to 7) of the first flagged byte; `flags` is not 0.
constexpr int first_flagged(std::uint64_t flags) { return std::countr_zero(flags) / 8; }

// How many of the first bytes are decimal digits, 0 to 8. A byte is a
// digit when its high nibble is 3 and stays 3 after adding 6; a carry out
// of a byte that is no digit only disturbs the bytes after it.
constexpr int leading_digits(std::uint64_t word) {
  constexpr std::uint64_t high_nibbles = 0xF0F0F0F0F0F0F0F0U;
  constexpr std::uint64_t threes = 0x3030303030303030U;
  const std::uint64_t not_digit =
      ((word & high_nibbles) ^ threes) | (((word + 0x0606060606060606U) & high_nibbles) ^ threes);
  return not_digit == 0 ? 8 : first_flagged(not_digit);
}

// The value of the first `digits` bytes (1 to 8), all decimal digits. They
// are moved to the top bytes, so that zeros lead; then pairs, fours and
// eights of digits are combined in place.
constexpr std::uint64_t digits_value(std::uint64_t word, int digits) {
  word = (word << (8 * (8 - digits))) & 0x0F0F0F0F0F0F0F0FU;
  word = (word * 10 + (word >> 8)) & 0x00FF00FF00FF00FFU;
  word = (word * 100 + (word >> 16)) & 0x0000FFFF0000FFFFU;
  return (word * 10000 + (word >> 32)) & 0xFFFFFFFFU;
}

}  // namespace eight_bytes
