// The lines of a text input, read whole or refused: plain, gzip or BGZF
// (through htslib's BGZF reader, which reads all three).
#pragma once

#include <htslib/bgzf.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class text_lines {
 public:
  // Reads `fp`, which stays owned by the caller. `path` and `format`
  // ("BED") are for messages.
  text_lines(BGZF* fp, std::string_view path, std::string_view format);
  text_lines(const text_lines&) = delete;
  text_lines& operator=(const text_lines&) = delete;

  // The next line, without its line end (LF or CR LF), numbered from 1; a
  // UTF-8 byte order mark before the first is skipped. Returns false at the
  // end of the input, or with a message in `error`: the compressed data are
  // damaged or cut short, or the line holds a NUL byte, a control byte
  // among the first bytes (not text), or more than MAX_LINE_LENGTH bytes.
  // The line holds until the next call.
  bool next(std::string_view& line, std::string* error);
  std::int64_t line_number() const { return line_number_; }
  const std::string& path() const { return path_; }

 private:
  // Moves to the next block of data. Returns false at the end of the data,
  // or with a message in `error`.
  bool next_block(std::string* error);
  // The checks of the first bytes: a byte order mark, control bytes.
  bool begin(std::string* error);
  // Counts the line [start, start + length) and gives it without its CR.
  std::string_view take_line(const char* start, std::size_t length);

  BGZF* fp_;
  std::string path_;
  std::string format_;
  // Lines are read in place from htslib's current block of data; a line
  // that runs on into the next block is gathered in `spanning_`.
  const char* next_ = nullptr;
  const char* block_end_ = nullptr;
  const char* nul_ = nullptr;  // the first NUL byte of the block, if any
  std::string spanning_;
  bool begun_ = false;
  bool ended_ = false;
  std::int64_t line_number_ = 0;
};
