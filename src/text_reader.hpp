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
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstdio>
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

  // Reads `stream`, which stays owned by the caller. `file_name` is used in
  // messages only.
  text_reader(std::FILE* stream, std::string_view file_name);
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
  int get();

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
  // began.
  long line() const { return line_; }
  long field_line() const { return field_line_; }
  std::string_view file_name() const { return file_name_; }

  // True when the input ended because reading the stream failed; then
  // read_error() holds the errno value of that failure.
  bool read_failed() const { return read_error_ != 0; }
  int read_error() const { return read_error_; }

 private:
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
  const unsigned char* next_ = nullptr;
  const unsigned char* end_ = nullptr;
  bool input_ended_ = false;
  int read_error_ = 0;
  long line_ = 1;
  long field_line_ = 1;
  unsigned char buffer_[64 * 1024];
};
