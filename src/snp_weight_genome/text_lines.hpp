// The lines of a text input, read whole or refused, from a byte source
// (plain, gzip or BGZF; bytes in memory in the tests).
//  - text_chunks hands out whole lines a chunk at a time, which threads can
//    split and read apart; it skips a UTF-8 byte order mark, refuses a
//    control byte among the first bytes (not text) and a line longer than
//    MAX_LINE_LENGTH, and words a failed or damaged source.
//  - chunk_lines splits one chunk into its lines: without their line end
//    (LF or CR LF), numbered, and refused when one holds a NUL byte.
//  - text_lines is the two in one, for a reader that takes one line at a
//    time.
// Every message is "PATH:LINE: what" or "PATH: what".
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "byte_source.hpp"

// Bytes of text in a buffer that grows without clearing what it adds.
struct text_chunk {
  std::unique_ptr<char[]> bytes;
  std::size_t capacity = 0;
  std::size_t size = 0;

  std::string_view view() const { return {bytes.get(), size}; }
  // Room for `wanted` bytes, the first `size` kept.
  void reserve(std::size_t wanted);
};

class text_chunks {
 public:
  // Reads `source`, which must outlive it. `path` and `format` ("BED") are
  // for messages.
  text_chunks(byte_source& source, std::string_view path, std::string_view format);
  text_chunks(const text_chunks&) = delete;
  text_chunks& operator=(const text_chunks&) = delete;

  // The next chunk of whole lines into `chunk` (the input's last line may
  // lack its line end): about `size` bytes, or one longer line. False at
  // the end of the input, or when it failed (see failed()).
  bool next(text_chunk& chunk, std::size_t size);
  bool failed() const { return !failure_.empty() || source_failed_ || too_long_; }
  // The failure as a message, given how many lines the chunks handed out
  // hold (the caller counts them as it reads them).
  std::string failure_message(std::int64_t lines_before) const;
  const std::string& path() const { return path_; }
  // After a line was refused: the message that names damage further on in
  // the input, which explains the refusal, or "".
  std::string damage_further_on(std::int64_t lines_before);

 private:
  // Reads up to `room` more bytes into `chunk`. False when the source
  // fails; at its end, ended_ is set.
  bool read_more(text_chunk& chunk, std::size_t room);
  // The checks of the first bytes: a byte order mark, control bytes.
  bool begin(text_chunk& chunk);

  byte_source& source_;
  std::string path_;
  std::string format_;
  text_chunk rest_;  // bytes after the last whole line handed out
  bool begun_ = false;
  bool ended_ = false;
  bool source_failed_ = false;
  bool too_long_ = false;  // a line longer than MAX_LINE_LENGTH
  std::string failure_;    // a failure worded already (among the first bytes)
};

// The line ends in `text`.
std::int64_t count_line_ends(std::string_view text);

class chunk_lines {
 public:
  // The lines of `chunk`, the first of which is line `first_line` of `path`.
  chunk_lines(std::string_view chunk, std::int64_t first_line, std::string_view path);

  // The next line; false at the end of the chunk, or with "PATH:LINE: line
  // holds a NUL byte" in `error`.
  bool next(std::string_view& line, std::string* error) {
    if (rest_.empty()) return false;
    const auto* end = static_cast<const char*>(std::memchr(rest_.data(), '\n', rest_.size()));
    const std::size_t length = end == nullptr ? rest_.size() : static_cast<std::size_t>(end - rest_.data());
    line = rest_.substr(0, length);
    rest_.remove_prefix(end == nullptr ? length : length + 1);
    ++line_number_;
    if (nul_ != nullptr && nul_ >= line.data() && nul_ < line.data() + line.size()) return refuse_nul(error);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
  }
  // What is left of the chunk.
  std::string_view rest() const { return rest_; }
  // The number of the line last given, and of the chunk's last line.
  std::int64_t line_number() const { return line_number_; }
  std::int64_t last_line_number() const {
    return line_number_ + count_line_ends(rest_) + (!rest_.empty() && rest_.back() != '\n');
  }

 private:
  bool refuse_nul(std::string* error) const;

  std::string_view rest_;
  const char* nul_;  // the chunk's first NUL byte, or nullptr
  std::string_view path_;
  std::int64_t line_number_;
};

class text_lines {
 public:
  text_lines(byte_source& source, std::string_view path, std::string_view format);

  // The next line, numbered from 1; false at the end of the input, or with
  // a message in `error`. The line holds until the next call.
  bool next(std::string_view& line, std::string* error) {
    return lines_.next(line, error) || (error->empty() && next_chunk(line, error));
  }
  std::int64_t line_number() const { return lines_.line_number(); }
  const std::string& path() const { return chunks_.path(); }
  // The lines not given yet, a chunk at a time into `chunk` (whose buffer
  // is reused), for readers that split the work: the rest of the chunk
  // being read, then each next one, as next() would read them (the same
  // chunks, so the same line numbers in messages). False at the end of
  // the input, or once it failed (failed()). The lines are left for the
  // caller to count: from then on, only failure_message() and
  // damage_after() are asked, with the caller's count.
  bool take_chunk(text_chunk& chunk);
  // Why the input failed, after `lines_before` lines.
  std::string failure_message(std::int64_t lines_before) const { return chunks_.failure_message(lines_before); }
  // The number of the last line of the chunk being read.
  std::int64_t chunk_end() const { return lines_.last_line_number(); }
  // Whether the input failed (the lines read before it are still given).
  bool failed() const { return chunks_.failed(); }
  // After a line of the chunk that ends with line `chunk_last_line` was
  // refused: the message that names damage further on, or "". (What
  // damage_further_on() says, for a reader that read ahead.)
  std::string damage_after(std::int64_t chunk_last_line) { return chunks_.damage_further_on(chunk_last_line); }
  // Reads to the end, so that damage there is found (a GFF3 file's FASTA
  // section): "" or the message.
  std::string read_to_end();
  // After a refusal: the message that names damage further on in the input,
  // which explains it, or "" (also when the refusal was the damage).
  std::string damage_further_on() {
    return chunks_.failed() ? std::string() : chunks_.damage_further_on(lines_.last_line_number());
  }

 private:
  // Reads the next chunk, and gives its first line.
  bool next_chunk(std::string_view& line, std::string* error);

  // Chunks of about 64 KiB: a buffer that stays in the cache.
  static constexpr std::size_t chunk_size = std::size_t{1} << 16;

  text_chunks chunks_;
  text_chunk chunk_;
  chunk_lines lines_;
};
