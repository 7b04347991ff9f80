// A buffered byte reader for the two input files, with their field rules.
//
// Both files are whitespace-separated fields read in one sequential pass.
// Line breaks are plain whitespace, so records may share or span lines.
// The reader works on raw bytes, the same on every platform:
//  - whitespace is space, tab, LF, VT, FF and CR, so CR LF reads as LF;
//  - the input ends at the first Ctrl-Z byte (0x1A), as a Windows text
//    stream does; nothing after it is read;
//  - a read error ends the input too, but is kept, so that it is never
//    taken for the end of the file (see read_failed()).
// It counts line feeds as it goes, so that a refusal can name its line.
//
// The field functions are defined here, inline, so that a record loop
// compiles into one tight loop over the buffered bytes; only a refill
// leaves it.
#pragma once

#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

enum class field_status {
  stored,        // the field was read (and stored, unless it was dropped)
  missing,       // the input ended, or an integer field found no digit
  too_long,      // a text field longer than its storage
  out_of_range,  // an integer field outside the signed 32-bit range
};

class text_reader {
 public:
  static constexpr int end_of_input = -1;
  static constexpr std::size_t default_buffer_size = 64 * 1024;

  // Reads `stream`, which stays owned by the caller, through a buffer of
  // `buffer_size` bytes (at least 1). `file_name` is used in messages only.
  text_reader(std::FILE* stream, std::string_view file_name, std::size_t buffer_size = default_buffer_size);
  // Reads bytes held in memory (tests and fuzzing), which must outlive it.
  text_reader(std::string_view bytes, std::string_view file_name);
  // A temporary string would be gone before the first read.
  template <std::same_as<std::string> Temporary>
  text_reader(Temporary&& bytes, std::string_view file_name) = delete;

  text_reader(const text_reader&) = delete;
  text_reader& operator=(const text_reader&) = delete;

  // The next byte (0 to 255) without taking it, or end_of_input.
  int peek() {
    if (next_ == end_ && !refill()) return end_of_input;
    return *next_;
  }
  // Takes the next byte; end_of_input once the input has ended.
  int get() {
    const int c = peek();
    if (c != end_of_input) {
      ++next_;
      line_ += c == '\n';
    }
    return c;
  }

  // Skips any amount of whitespace, none included. Returns true when a byte
  // other than whitespace follows, false at the end of the input.
  bool skip_whitespace();

  // Text field: skips whitespace, then takes the longest run of bytes that
  // are not whitespace, at least one. The run is copied to `out` followed by
  // a terminator, and its length is stored in `length`. A run that does not
  // fit with its terminator gives too_long, with the reader inside it.
  field_status text_field(std::span<char> out, std::size_t& length);
  // A text field that is read and dropped: any length, no storage.
  field_status skip_text_field();

  // Integer field: skips whitespace, then an optional sign and one or more
  // decimal digits. The first byte that is not a digit ends the field and
  // stays in the input. With no digit after the sign (which is taken), the
  // field is missing and `value` is left unchanged.
  field_status integer_field(std::int32_t& value);

  // The 1-based line the reader is on, and the line on which the last field
  // began. 64 bits on every platform: a file may hold more than 2^31 lines.
  std::int64_t line() const { return line_; }
  std::int64_t field_line() const { return field_line_; }
  std::string_view file_name() const { return file_name_; }

  // True when the input ended because reading the stream failed; then
  // read_error() holds the errno value of that failure.
  bool read_failed() const { return read_error_ != 0; }
  int read_error() const { return read_error_; }

 private:
  // Space, or tab, LF, VT, FF and CR (0x09 to 0x0D): compared, not looked
  // up, to keep a load out of the chain from one field to the next.
  static bool is_whitespace(unsigned c) { return c == ' ' || c - '\t' <= '\r' - '\t'; }
  static bool is_digit(int c) { return c >= '0' && c <= '9'; }
  // The first whitespace byte in [first, last), or last.
  static const unsigned char* find_whitespace(const unsigned char* first, const unsigned char* last);
  // Eight bytes loaded little-endian: how many of the first are decimal
  // digits (0 to 8), and the value of the first `digits` of them (>= 1).
  static int leading_digits(std::uint64_t word);
  static std::uint64_t digits_value(std::uint64_t word, int digits);

  // Fills the buffer from the stream. Returns false when nothing more can be
  // read: the end of the file, a Ctrl-Z byte or a read error.
  bool refill();
  // The one rule for where a text field lies: skips whitespace, then hands
  // take_piece(first, last) each buffered piece of the run of bytes that are
  // not whitespace, until the run ends or take_piece returns false. Returns
  // false when the input ended before the field began.
  template <class TakePiece>
  bool take_text_field(TakePiece take_piece);
  // Makes [next_, end_) the bytes before the first Ctrl-Z in it, if any.
  void stop_at_ctrl_z();

  std::FILE* stream_ = nullptr;
  std::string_view file_name_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::size_t buffer_size_ = 0;
  const unsigned char* next_ = nullptr;
  const unsigned char* end_ = nullptr;
  bool input_ended_ = false;
  int read_error_ = 0;
  std::int64_t line_ = 1;
  std::int64_t field_line_ = 1;
};

inline const unsigned char* text_reader::find_whitespace(const unsigned char* first,
                                                         const unsigned char* last) {
  // Eight bytes at a time: every whitespace byte is below 0x21, so a word
  // with no byte below 0x21 holds none. The lowest flagged byte is exact;
  // it is then checked against the table, since a control byte other than
  // whitespace is part of the field.
  constexpr std::uint64_t ones = 0x0101010101010101U;
  constexpr std::uint64_t high_bits = 0x8080808080808080U;
  while (last - first >= 8) {
    std::uint64_t word;
    std::memcpy(&word, first, sizeof word);
    const std::uint64_t below_0x21 = (word - ones * 0x21) & ~word & high_bits;
    if (below_0x21 == 0) {
      first += 8;
      continue;
    }
    const bool little = std::endian::native == std::endian::little;
    const int byte = (little ? std::countr_zero(below_0x21) : std::countl_zero(below_0x21)) / 8;
    first += byte;
    if (is_whitespace(static_cast<unsigned>(word >> (little ? 8 * byte : 56 - 8 * byte)) & 0xFFU))
      return first;
    ++first;
  }
  while (first != last && !is_whitespace(*first)) ++first;
  return first;
}

inline int text_reader::leading_digits(std::uint64_t word) {
  // A byte is a digit when its high nibble is 3 and stays 3 after adding 6.
  // A carry out of a byte that is no digit only disturbs the bytes after it.
  constexpr std::uint64_t high_nibbles = 0xF0F0F0F0F0F0F0F0U;
  constexpr std::uint64_t threes = 0x3030303030303030U;
  const std::uint64_t not_digit =
      ((word & high_nibbles) ^ threes) | (((word + 0x0606060606060606U) & high_nibbles) ^ threes);
  return not_digit == 0 ? 8 : std::countr_zero(not_digit) / 8;
}

inline std::uint64_t text_reader::digits_value(std::uint64_t word, int digits) {
  // The digits to the top bytes, so that zeros lead; then pairs, fours and
  // eights of digits are combined in place.
  word = (word << (8 * (8 - digits))) & 0x0F0F0F0F0F0F0F0FU;
  word = (word * 10 + (word >> 8)) & 0x00FF00FF00FF00FFU;
  word = (word * 100 + (word >> 16)) & 0x0000FFFF0000FFFFU;
  return (word * 10000 + (word >> 32)) & 0xFFFFFFFFU;
}

inline bool text_reader::skip_whitespace() {
  // The hot loops work on a local copy of the position, so that it stays in
  // a register.
  for (;;) {
    const unsigned char* next = next_;
    std::int64_t lines = 0;
    while (next != end_ && is_whitespace(*next)) lines += *next++ == '\n';
    next_ = next;
    line_ += lines;
    if (next != end_) return true;
    if (!refill()) return false;
  }
}

template <class TakePiece>
bool text_reader::take_text_field(TakePiece take_piece) {
  if (!skip_whitespace()) return false;
  field_line_ = line_;
  for (;;) {
    const unsigned char* stop = find_whitespace(next_, end_);
    if (!take_piece(next_, stop)) return true;
    next_ = stop;
    if (stop != end_ || !refill()) return true;
  }
}

inline field_status text_reader::text_field(std::span<char> out, std::size_t& length) {
  const std::size_t capacity = out.size() - 1;
  std::size_t n = 0;
  bool fits = true;
  const bool found = take_text_field([&](const unsigned char* first, const unsigned char* last) {
    const auto piece = static_cast<std::size_t>(last - first);
    fits = piece <= capacity - n;
    if (fits) {
      std::memcpy(out.data() + n, first, piece);
      n += piece;
    }
    return fits;
  });
  out[n] = '\0';
  if (!found) return field_status::missing;
  if (!fits) return field_status::too_long;
  length = n;
  return field_status::stored;
}

inline field_status text_reader::skip_text_field() {
  const bool found = take_text_field([](const unsigned char*, const unsigned char*) { return true; });
  return found ? field_status::stored : field_status::missing;
}

inline field_status text_reader::integer_field(std::int32_t& value) {
  if (!skip_whitespace()) return field_status::missing;
  field_line_ = line_;
  int c = *next_;
  const bool negative = c == '-';
  if (c == '-' || c == '+') {
    ++next_;
    c = peek();
  }
  if (!is_digit(c)) return field_status::missing;

  // 64 bits hold any 32-bit magnitude times ten plus a digit, so checking
  // after each digit is enough to stop before an overflow.
  const std::uint64_t limit = negative ? 2147483648U : 2147483647U;
  std::uint64_t magnitude = 0;
  if (end_ - next_ >= 8 && std::endian::native == std::endian::little) {
    // The first eight bytes at once, without a branch per digit: they hold
    // at most 99,999,999, below either limit.
    std::uint64_t word;
    std::memcpy(&word, next_, sizeof word);
    const int digits = leading_digits(word);
    magnitude = digits_value(word, digits);
    next_ += digits;
    if (digits < 8) {
      value = negative ? -static_cast<std::int32_t>(magnitude) : static_cast<std::int32_t>(magnitude);
      return field_status::stored;
    }
  }
  for (;;) {
    const unsigned char* next = next_;
    for (; next != end_ && is_digit(*next); ++next) {
      magnitude = magnitude * 10 + static_cast<std::uint64_t>(*next - '0');
      if (magnitude > limit) {
        next_ = next;
        return field_status::out_of_range;
      }
    }
    next_ = next;
    if (next != end_ || !refill()) break;
  }

  value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                   : static_cast<std::int32_t>(magnitude);
  return field_status::stored;
}
