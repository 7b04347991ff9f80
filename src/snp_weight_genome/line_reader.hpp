// The text formats' lines, from a file that is plain or compressed with gzip
// or BGZF, read through htslib; and the rules for their fields.
#pragma once

#include <htslib/hts.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// An input opened through htslib, its first bytes checked: a file
// compressed otherwise (bzip2, xz, zstd) or saved as UTF-16 or UTF-32 is
// refused with a message that says so.
class hts_input {
 public:
  hts_input() = default;
  hts_input(const hts_input&) = delete;
  hts_input& operator=(const hts_input&) = delete;
  ~hts_input();

  // Opens `path`. Returns false with "PATH: message" in `error`.
  bool open(const std::string& path, std::string* error);
  htsFile* file() const { return file_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  htsFile* file_ = nullptr;
};

// The lines of an hts_input, numbered from 1.
class line_reader {
 public:
  explicit line_reader(hts_input& input) : input_(input) {}
  line_reader(const line_reader&) = delete;
  line_reader& operator=(const line_reader&) = delete;
  ~line_reader();

  // The next line, without its line end (LF or CR LF). Returns false at the
  // end of the file, or with a message in `error` when reading failed or the
  // line holds a NUL byte (a binary file).
  bool next(std::string_view& line, std::string* error);
  std::int64_t line_number() const { return line_number_; }

 private:
  hts_input& input_;
  kstring_t text_ = {0, 0, nullptr};
  std::int64_t line_number_ = 0;
};

// Splits `line` at each tab, or, when `tabs` is false or the line holds no
// tab, at each run of spaces and tabs. Stores the first fields.size() fields
// and returns how many there are in all.
std::size_t split_fields(std::string_view line, bool tabs, std::span<std::string_view> fields);

// Whether a line holds no record: it is empty or a "#" comment, or, in BED,
// a "track" or "browser" line.
bool is_comment_line(std::string_view line, bool bed);

enum class number_status { stored, not_a_number, out_of_range };

// A whole field as a decimal integer with an optional sign, from -2^62 to
// 2^62: room for any genome, and for the arithmetic of the formats' bounds.
number_status parse_integer(std::string_view text, std::int64_t& value);

// The same for a field named `what` ("start"): "" with the value stored, or
// why the field is refused, for messages::at_line().
std::string integer_problem(std::string_view text, const char* what, std::int64_t& value);

// The bounds of BED, GTF and GFF3, which hold no start below `lowest` and no
// end before the start: "" when they are sound, or why not. `start_text` is
// the start as written.
std::string bounds_problem(std::int64_t start, std::int64_t end, std::string_view start_text,
                           std::int64_t lowest);
