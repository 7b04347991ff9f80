// A buffered byte reader for the two input files, with their field rules.
//
// Both files are whitespace-separated fields read in one sequential pass.
// Line breaks are plain whitespace, so records may share or span lines.
// The reader works on raw bytes, the same on every platform:
//  - whitespace is space, tab, LF, VT, FF and CR, so CR LF reads as LF;
//  - the input ends at the first Ctrl-Z byte (0x1A), as a Windows text
//    stream does; nothing after it is read;
//  - a leading UTF-8 byte order mark is skipped: it marks the encoding and
//    is no part of the first field;
//  - an input that is not text (compressed, UTF-16, UTF-32) ends before its
//    first byte, and a read error ends the input where it happened; both
//    are kept, so that neither is taken for the end of the file (see
//    stop());
//  - no field holds a NUL byte, and no field or run of whitespace is
//    endless: past a bound, reading stops with a refusal, so that any
//    input, /dev/zero included, ends.
// It counts line feeds as it goes, so that a refusal can name its line.
//
// The field functions are defined here, inline, so that a record loop
// compiles into one tight loop over the buffered bytes; only a refill
// leaves it.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "eight_bytes.hpp"
#include "input_format.hpp"
#include "records.hpp"

enum class field_status {
  stored,        // the field was read (and stored, unless it was dropped)
  missing,       // the input ended, or an integer field found no digit
  too_long,      // a text field longer than its storage or the bound
  out_of_range,  // an integer field outside the signed 32-bit range
  holds_nul,     // a text field with a NUL byte; the reader stops at it
};

// Why the input ended before its last byte, if it did.
enum class input_stop {
  none,            // the end of the file, or a Ctrl-Z byte
  read_error,      // reading the stream failed: read_error() says why
  not_text,        // the first bytes show another format: kind() says which
  whitespace_run,  // more than MAX_WHITESPACE_RUN bytes of whitespace
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
  // other than whitespace follows, false at the end of the input (or when
  // the run is longer than MAX_WHITESPACE_RUN, which ends the input).
  bool skip_whitespace();

  // Text field: skips whitespace, then takes the longest run of bytes that
  // are not whitespace, at least one. The run is copied to `out` followed by
  // a terminator, and its length is stored in `length`. A run that does not
  // fit with its terminator gives too_long, with the reader inside it.
  field_status text_field(std::span<char> out, std::size_t& length);
  // A text field that is read and dropped: no storage, too_long past
  // MAX_DROPPED_FIELD_LENGTH bytes.
  field_status skip_text_field();

  // Integer field: skips whitespace, then an optional sign and one or more
  // decimal digits. The first byte that is not a digit ends the field and
  // stays in the input. With no digit after the sign (which is taken), the
  // field is missing and `value` is left unchanged.
  field_status integer_field(std::int32_t& value);

  // The 1-based line the reader is on, and the line on which the last field
  // (or the run of whitespace that ended the input) began. 64 bits on every
  // platform: a file may hold more than 2^31 lines.
  std::int64_t line() const { return line_; }
  std::int64_t field_line() const { return field_line_; }
  std::string_view file_name() const { return file_name_; }

  input_stop stop() const { return stop_; }
  // The errno value of a read_error stop, and the format of a not_text one.
  int read_error() const { return read_error_; }
  input_kind kind() const { return kind_; }
  bool read_failed() const { return stop_ == input_stop::read_error; }

 private:
  // Space, or tab, LF, VT, FF and CR (0x09 to 0x0D): compared, not looked
  // up, to keep a load out of the chain from one field to the next.
  static bool is_whitespace(unsigned c) { return c == ' ' || c - '\t' <= '\r' - '\t'; }
  // What ends a text field's run: whitespace, or a NUL byte, which no field
  // may hold. One shift of a 33-bit set: bits 0, 9 to 13 and 32.
  static bool ends_field(unsigned c) { return c <= ' ' && ((std::uint64_t{0x100003E01} >> c) & 1U) != 0; }
  static bool is_digit(int c) { return c >= '0' && c <= '9'; }
  // The first byte in [first, last) that ends a text field, or last.
  static const unsigned char* find_field_end(const unsigned char* first, const unsigned char* last);

  // Fills the buffer from the stream. Returns false when nothing more can be
  // read: the end of the file, a Ctrl-Z byte or a stop.
  bool refill();
  // skip_whitespace() past the end of the buffer, `skipped` bytes of the run
  // (which began on `first_line`) already behind. Stops the input once the
  // run is longer than MAX_WHITESPACE_RUN. A run is measured only across
  // refills: the bytes of an in-memory reader are never endless.
  bool skip_whitespace_across_refills(std::uint64_t skipped, std::int64_t first_line);
  // Looks at the first bytes: stops at a format that is not text, and
  // skips a UTF-8 byte order mark.
  void begin_input();
  // The one rule for where a text field lies: skips whitespace, then hands
  // take_piece(first, last) each buffered piece of the field's run, until
  // the run ends or take_piece returns false (too_long).
  template <class TakePiece>
  field_status take_text_field(TakePiece take_piece);
  // Makes [next_, end_) the bytes before the first Ctrl-Z in it, if any.
  void stop_at_ctrl_z();
  void stop_input(input_stop why) {
    stop_ = why;
    input_ended_ = true;
    next_ = end_;
  }

  std::FILE* stream_ = nullptr;
  std::string_view file_name_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::size_t buffer_size_ = 0;
  const unsigned char* next_ = nullptr;
  const unsigned char* end_ = nullptr;
  bool input_ended_ = false;
  bool input_begun_ = false;
  input_stop stop_ = input_stop::none;
  int read_error_ = 0;
  input_kind kind_ = input_kind::text;
  std::int64_t line_ = 1;
  std::int64_t field_line_ = 1;
};

// Implementation details follow.

inline const unsigned char* text_reader::find_field_end(const unsigned char* first,
                                                        const unsigned char* last) {
  // Eight bytes at a time: every byte that ends a field is below 0x21, so a
  // word with no byte below 0x21 holds none. The first flagged byte is
  // exact; a control byte that ends no field is part of it.
  while (last - first >= 8) {
    const std::uint64_t flags = eight_bytes::below(eight_bytes::load(first), 0x21);
    if (flags == 0) {
      first += 8;
      continue;
    }
    first += eight_bytes::first_flagged(flags);
    if (ends_field(*first)) return first;
    ++first;
  }
  while (first != last && !ends_field(*first)) ++first;
  return first;
}

inline bool text_reader::skip_whitespace() {
  // The hot loop works on a local copy of the position, so that it stays in
  // a register. A run that reaches the end of the buffer goes on in
  // skip_whitespace_across_refills, which also bounds its length.
  const unsigned char* const start = next_;
  const unsigned char* next = start;
  std::int64_t lines = 0;
  while (next != end_ && is_whitespace(*next)) lines += *next++ == '\n';
  next_ = next;
  line_ += lines;
  if (next != end_) [[likely]]
    return true;
  return skip_whitespace_across_refills(static_cast<std::uint64_t>(next - start), line_ - lines);
}

template <class TakePiece>
field_status text_reader::take_text_field(TakePiece take_piece) {
  if (!skip_whitespace()) return field_status::missing;
  field_line_ = line_;
  for (;;) {
    const unsigned char* stop = find_field_end(next_, end_);
    if (!take_piece(next_, stop)) [[unlikely]]
      return field_status::too_long;
    next_ = stop;
    if (stop != end_) [[likely]]
      return *stop == 0 ? field_status::holds_nul : field_status::stored;
    if (!refill()) return field_status::stored;
  }
}

inline field_status text_reader::text_field(std::span<char> out, std::size_t& length) {
  const std::size_t capacity = out.size() - 1;
  std::size_t n = 0;
  const field_status status = take_text_field([&](const unsigned char* first, const unsigned char* last) {
    const auto piece = static_cast<std::size_t>(last - first);
    if (piece > capacity - n) return false;
    std::memcpy(out.data() + n, first, piece);
    n += piece;
    return true;
  });
  out[n] = '\0';
  if (status == field_status::stored) length = n;
  return status;
}

inline field_status text_reader::skip_text_field() {
  std::uint64_t n = 0;
  return take_text_field([&n](const unsigned char* first, const unsigned char* last) {
    n += static_cast<std::uint64_t>(last - first);
    return n <= MAX_DROPPED_FIELD_LENGTH;
  });
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
  if (end_ - next_ >= 8) {
    // The first eight bytes at once, without a branch per digit: they hold
    // at most 99,999,999, below either limit.
    const std::uint64_t word = eight_bytes::load(next_);
    const int digits = eight_bytes::leading_digits(word);
    magnitude = eight_bytes::digits_value(word, digits);
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
